// Media identification: tester order, QuickTime and MXF file types, the MXF
// deep analysis; type names, resolution classes and intra codecs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "OXLDataReader/MediaTester.h"
#include "OXLDataReader/MediaTypes.h"
#include "OXLDataReader/OXLMediaIdentifier.h"
#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/FFmpegTools.h"
#include "support/ImxFixtures.h"
#include "support/MediaFixtureCache.h"
#include "support/MxfWriter.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;
using oxltest::mxf::Label;
using oxltest::mxf::MxfHeader;

namespace {

struct Identified {
  int code = -1;
  unsigned int fileType = 0;
  unsigned int videoType = 0;
  std::vector<char> tried;  // 'Q' QuickTime, 'M' MXF, in order
};

// Records which testers are tried.
class RecordingIdentifier : public OXLMediaIdentifier {
 public:
  std::vector<char> tried;

 protected:
  void GetNextTester() override {
    OXLMediaIdentifier::GetNextTester();
    if (dynamic_cast<QTTester*>(CurrentTester())) tried.push_back('Q');
    if (dynamic_cast<MxfTester*>(CurrentTester())) tried.push_back('M');
  }
};

Identified Identify(const std::string& path) {
  CapturingLogger quiet;
  RecordingIdentifier identifier;
  identifier.SetFilePath(path.c_str());
  qel::FileType fileType = qel::Unknown_File;
  OXLDataReader::VideoDataType videoType = OXLDataReader::Unknown_Video;
  const int code = identifier.GetFileFormat(fileType, videoType);
  return {code, fileType, videoType, identifier.tried};
}

}  // namespace

// Every plain QuickTime movie of the reader tests, by its codec family (H.264
// with brand "qt  " 62, with an MP4 brand 76).
TEST(QuickTimeIdentification, MoviesOfTheFileTable) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const std::pair<const char*, unsigned int> families[] = {
      {"prores", 42}, {"dv25", 25}, {"dvcpro50", 25}, {"dvcprohd", 33}, {"dnxhd", 36},  {"imx", 30},
      {"mjpeg", 26},  {"qtrle", 59}, {"h264", 62},    {"xdcamhd", 74},  {"avcintra", 64}};
  size_t identified = 0;
  for (const qtfiles::QtFileCase& c : qtfiles::AllCases()) {
    const MediaFixture* fixture = c.fragmented ? nullptr : qtfiles::CaseFixture(c);
    if (!fixture) continue;
    ++identified;
    unsigned int want = c.container == "mp4" ? 76 : 0;
    for (const auto& [prefix, type] : families) if (!want && c.name.rfind(prefix, 0) == 0) want = type;
    const Identified got = Identify(fixture->path);
    EXPECT_EQ(got.code, 0) << c.name;
    EXPECT_EQ(got.fileType, want) << c.name;  // (the video type is the reader's: QtFileVideo tests)
  }
  EXPECT_GE(identified, 17u);
}

// (The probe summary tests identify "qt  " audio-only movies and DV in MXF.)
TEST(QuickTimeIdentification, AudioOnlyMp4AndReferenceMovies) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const auto& mp4 = GetMediaFixture("id_audio.mp4", {"-f lavfi -i sine -t 0.2 -c:a aac"});
  EXPECT_EQ(Identify(mp4.path).fileType, 76u);  // any brand but "qt  ": Mp4
  TempDir dir;
  QtWriterTrack track;
  track.stsd = VideoStsd("apcn", 720, 576);
  track.sizes = {100};
  track.offsets = {0};
  track.drefEntry = UrlDrefEntry("media.mov");
  EXPECT_EQ(Identify(dir.write("ref.mov", QtFile("", {track}, false))).fileType, 56u);  // ProRes, referenced: 56
}

// FFmpeg's files. The deep analysis of OP1a AVC-Intra keeps 65/23 unless
// the first frame is Sony's XAVC-Intra class 100 (75/43).
TEST(MxfIdentification, FilesMadeByFFmpeg) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const std::string hd = "-f lavfi -i testsrc=duration=0.12:size=1920x1080:rate=25 ";
  const std::string avci = hd + "-pix_fmt yuv422p10le -c:v libx264 -avcintra-class 100 ";
  const struct {
    const char* name;
    std::string args;
    unsigned int fileType, videoType;
  } cases[] = {
      {"imx50_pal_audio_1s.mxf", D10Args(50, false, true, 1.2), 12, 8},  // row 60: D-10 50 Mb/s 625/50
      {"id_dnxhd.mxf", hd + "-c:v dnxhd -b:v 36M -pix_fmt yuv422p", 61, 14},  // row 7: DNxHD in OP1a
      // FFmpeg's OP-Atom DNxHD label is row 7's, which needs OP1a: no row, 0 and 0.
      {"id_atom.mxf", hd + "-f mxf_opatom -c:v dnxhd -b:v 36M -pix_fmt yuv422p", 0, 0},
      {"deep_avci100.mxf", avci + "-f mxf", 65, 23},
      {"deep_xavc100.mxf", avci + "-x264-params avcintra-flavor=sony -f mxf", 75, 43}};
  for (const auto& c : cases) {
    if (c.fileType > 64 && !FindMediaFixture(c.name, {c.args}) && !HasEncoder("libx264")) continue;
    const Identified got = Identify(GetMediaFixture(c.name, {c.args}).path);
    EXPECT_EQ(std::make_tuple(got.code, got.fileType, got.videoType, got.tried),
              std::make_tuple(0, c.fileType, c.videoType, std::vector<char>{'M'})) << c.name;
  }
}

// A DV label (14, P2 video) makes OP-Atom (45) when a primer pack within 200
// bytes after the labels has Avid's DNxHD descriptor key in the 185 bytes after
// its value; not a key inside the value, further on, or a primer further on.
TEST(MxfDeepAnalysis, AvidDnxPrimerMakesOpAtom) {
  using namespace oxltest::mxf;
  const std::string header = MxfHeader(1, 1, {Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.02")}, 0);
  const std::string primerKey = Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01.05.01.00");
  const std::string avid = Label("26.fa.d9.d0.4e.66.42.f5.bf.48.0f.c6.fa.41.98.ab");
  const std::string entries = std::string(40, '\0');
  const struct {
    std::string after;
    unsigned int fileType;
  } cases[] = {{std::string(30, 'f') + primerKey + U8(40) + entries + std::string(100, 'x') + avid, 45},
               {primerKey + Bytes({0x83, 0, 0, 40}) + entries + avid, 45},
               {primerKey + Bytes({0x82, 0, 56}) + entries + avid + std::string(200, 'x'), 14},
               {primerKey + Bytes({0x83, 0, 0, 40}) + entries + std::string(185, 'x') + avid, 14},
               {std::string(200, 'x') + primerKey + U8(40) + entries + avid, 14}};
  TempDir dir;
  for (const auto& c : cases) {
    std::string bytes = header + c.after;
    bytes.resize(std::max<size_t>(bytes.size(), 2048), '\0');
    const Identified got = Identify(dir.write("dnx.mxf", bytes));
    EXPECT_EQ(std::make_pair(got.code, got.fileType), std::make_pair(0, c.fileType)) << &c - cases;
  }
}

// Rows by operational pattern (784 is OP-Atom); row 13 ignores bytes 15-16;
// audio (4 in byte 15's high half) is 28; a later label overrides, an unknown
// one does not; AVC-Intra on unreadable essence keeps the table's pair. The
// deep analysis refuses file types 11 and 29.
TEST(MxfIdentification, PatternAndLabelRowsAndDeepAnalysisRefusals) {
  TempDir dir;
  const std::string dnxhd = Label("06.0e.2b.34.04.01.01.01.0e.04.03.01.02.06.03.03");
  const std::string dv = Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.01");
  const struct {
    uint8_t op13, op14;
    std::vector<std::string> labels;
    unsigned int fileType, videoType;
  } rows[] = {{0x10, 0x00, {dnxhd}, 45, 0}, {1, 1, {dnxhd}, 61, 0}, {0x10, 0x03, {dnxhd}, 45, 0},
              {1, 1, {Label("06.0e.2b.34.04.01.01.02.0d.01.03.01.02.04.05.07")}, 27, 0},
              {1, 1, {Label("06.0e.2b.34.04.01.01.02.0d.01.03.01.02.04.40.07")}, 28, 0},
              {1, 1, {dnxhd, dv, Label("06.0e.2b.34.04.01.01.01.0f.0f.0f.0f.0f.0f.0f.0f")}, 20, 3},
              {1, 1, {}, 0, 0}, {1, 1, {Label("06.0e.2b.34.04.01.01.0a.0d.01.03.01.02.10.60.01")}, 65, 23},
              {0x10, 0x00, {Label("06.0e.2b.34.04.01.01.01.0e.04.03.01.02.03.00.00")}, 45, 13}};
  for (const auto& row : rows) {
    const Identified got = Identify(dir.write("rows.mxf", MxfHeader(row.op13, row.op14, row.labels)));
    EXPECT_EQ(std::make_pair(got.code, got.fileType), std::make_pair(0, row.fileType)) << &row - rows;
    EXPECT_TRUE(!row.videoType || got.videoType == row.videoType) << got.videoType << " in row " << &row - rows;
  }
  for (const char* label :
       {"06.0e.2b.34.02.05.01.01.0d.01.03.01.18.01.02.01", "06.0e.2b.34.04.01.01.02.0d.01.03.01.02.04.61.01"})
    EXPECT_EQ(QelFailure([&] { Identify(dir.write("refused.mxf", MxfHeader(1, 1, {Label(label)}))); }),
              "[Not implemented on Linux or Mac OS X]");
}

TEST(IdentificationFailures, ExtensionOrderShortAndMissingFilesAndBatchCounts) {
  TempDir dir;
  const std::string header = MxfHeader(1, 1, {Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.01")});
  EXPECT_EQ(Identify(dir.write("clip.MXF", header)).tried, std::vector<char>{'M'});
  EXPECT_EQ(Identify(dir.write("clip.mov", header)).tried, (std::vector<char>{'Q', 'M'}));
  const Identified small = Identify(dir.write("small.mxf", header.substr(0, 1000)));
  EXPECT_EQ(small.tried, (std::vector<char>{'M', 'Q'}));  // below 1881 bytes: not MXF
  EXPECT_EQ(small.code, 2);  // no tester recognised it
  EXPECT_EQ(Identify(dir.write("empty.mov", "")).code, 10);  // nothing to read
  EXPECT_EQ(Identify(dir.file("missing.mov")).code, 3);     // no file reader
  // Claims four billion labels; holds one, at the very end of the first read.
  std::string claims = MxfHeader(1, 1, {Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.01")}, 0, 0xFFFFFFFF);
  claims.resize(0x10000 - 3, '\0');
  const Identified got = Identify(dir.write("claims.mxf", claims));
  EXPECT_EQ(std::make_pair(got.code, got.fileType), std::make_pair(0, 20u));
}

// A tester answers 2 (not its family) for too few bytes, not 3 (failed).
TEST(IdentificationHelpers, TestersAnswerTwoForTooFewBytes) {
  auto bytes = qel::CreateBuffer();
  ASSERT_TRUE(bytes->Resize(3));
  std::memcpy(bytes->GetData(), "\0\0\1", 3);
  MPEGESTester es;
  MPEGTester ps;
  AAFTester aaf;
  for (MediaTester* tester : std::initializer_list<MediaTester*>{&es, &ps, &aaf}) {
    tester->SetFileReaderAndDataBuffer(nullptr, bytes);
    bool found = true;
    EXPECT_EQ(tester->CorrespondToFile(found), 2);
    EXPECT_FALSE(found);
  }
}

// The markers count only with their whole length: the MXF key needs the
// byte after it, the OXL marker 14 bytes.
TEST(IdentificationHelpers, XmlMxfAndOxlMarkersNeedTheirWholeLength) {
  EXPECT_TRUE(IsXML("\xEF\xBB\xBF<?xml ") && !IsXML("<?xml"));
  const auto is = [](bool (*test)(unsigned char*, unsigned int), std::string bytes) {
    return test(reinterpret_cast<unsigned char*>(&bytes[0]), unsigned(bytes.size()));
  };
  const std::string mxf = "xxx\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01\x02";
  EXPECT_FALSE(is(IsMXF, mxf));
  EXPECT_TRUE(is(IsMXF, mxf + 'x'));
  EXPECT_TRUE(!is(IsOXLMXF, "\x80\x01..OXL Qbixo") && is(IsOXLMXF, "\x80\x01..OXL Qbixox"));
}

TEST(MediaTypes, NamesByValueResolutionClassesAndIntraCodecs) {
  using namespace OXLDataReader;
  const std::pair<unsigned int, const char*> fileTypes[] = {
      {0, "Unknown_File"}, {59, "QuickTime Graphical File"}, {80, "MPEG-DASH File"}, {81, ""}, {0xFFFFFFFF, ""}};
  for (const auto& [v, name] : fileTypes) EXPECT_EQ(GetFileTypeStr(static_cast<qel::FileType>(v)), name) << v;
  const std::pair<unsigned int, const char*> videoTypes[] = {
      {0, "Unknown_Video"}, {25, "RLE Graphical"}, {28, "H264/AVC/MPEG4-10 Video"}, {50, "H264 Intra"}, {51, ""}};
  for (const auto& [v, name] : videoTypes) EXPECT_EQ(GetVideoDataTypeStr(v), name) << v;  // 28 is not at index 28
  for (int r = -1; r <= 20; ++r) {
    const auto res = static_cast<VideoResolution>(r);
    EXPECT_EQ(std::vector<bool>({IsSDVideo(res), IsHDVideo(res), IsLowResVideo(res)}),
              std::vector<bool>({r == 1 || r == 2, r >= 3 && r <= 5, r == 17 || r == 18})) << r;
  }
  const std::set<unsigned int> intra = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 14, 15, 17, 18, 19, 20, 21, 23,
                                        24, 25, 26, 27, 29, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41};
  for (unsigned int t = 0; t <= 60; ++t) EXPECT_EQ(IsIntraCodec(static_cast<VideoDataType>(t)), intra.count(t) == 1) << t;
}
