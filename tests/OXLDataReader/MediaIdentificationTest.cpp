// Media identification: which tester is tried first, and what QuickTime and
// MXF files identify as (each expectation names the mapping or table row that
// gives it).
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "OXLDataReader/OXLMediaIdentifier.h"
#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
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
  Identified result;
  result.code = identifier.GetFileFormat(fileType, videoType);
  result.fileType = fileType;
  result.videoType = videoType;
  result.tried = identifier.tried;
  return result;
}

}  // namespace

// Every QuickTime movie of the reader tests, by the codec-family mapping.
TEST(QuickTimeIdentification, MoviesOfTheFileTable) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  // By codec family: ProRes (19, 20, 26, 41) 42, DV (3, 4, 5) 25, DVCPRO HD (10, 11) 33, DNxHD (14, 15, 27)
  // 36, IMX (6, 7, 8) 30, MJPEG (1, 2) 26, graphics (25, 29) 59, H.264 (28) with brand "qt  " 62 and with
  // an MP4 brand 76, HDV family (13) 74, AVC-Intra (23, 31) 64.
  const std::map<std::string, unsigned int> expected = {
      {"prores_proxy_25_twos", 42}, {"prores_lt_2997i_sowt", 42},
      {"prores_hq_5994_lpcm", 42},  {"dv25_pal_169", 25},         {"dv25_ntsc_43", 25},
      {"dvcpro50_pal", 25},         {"dvcprohd_1080i50", 33},     {"dvcprohd_720p50", 33},
      {"dnxhd_1080_25", 36},        {"dnxhd_1080_2997_high", 36}, {"imx50_25", 30},
      {"mjpeg_50_long_s16le", 26},  {"qtrle_50_in24", 59},        {"h264_25_aac", 62},
      {"h264_50_aac_mp4", 76},      {"xdcamhd422_1080i50_open_gop", 74}, {"avcintra100_1080p25", 64}};
  size_t identified = 0;
  for (const qtfiles::QtFileCase& c : qtfiles::AllCases()) {
    const auto want = expected.find(c.name);
    if (want == expected.end()) continue;
    const MediaFixture* fixture = qtfiles::CaseFixture(c);
    if (!fixture) continue;
    ++identified;
    const Identified got = Identify(fixture->path);
    EXPECT_EQ(got.code, 0) << c.name;
    EXPECT_EQ(got.fileType, want->second) << c.name;
    EXPECT_EQ(got.videoType, unsigned(c.videoType)) << c.name;
    EXPECT_EQ(got.tried, std::vector<char>{'Q'}) << c.name;
  }
  EXPECT_GE(identified, expected.size() - 1);
}

TEST(QuickTimeIdentification, AudioOnlyMoviesByBrandAndReferenceMovies) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const auto& qt = GetMediaFixture("id_audio.mov", {"-f lavfi -i sine -t 0.2 -c:a pcm_s16le"});
  const auto& mp4 = GetMediaFixture("id_audio.mp4", {"-f lavfi -i sine -t 0.2 -c:a aac"});
  EXPECT_EQ(Identify(qt.path).fileType, 24u);   // brand "qt  ": QTUnknown
  EXPECT_EQ(Identify(mp4.path).fileType, 76u);  // any other brand: Mp4

  TempDir dir;
  QtWriterTrack track;
  track.stsd = VideoStsd("apcn", 720, 576);
  track.sizes = {100};
  track.offsets = {0};
  track.drefEntry = UrlDrefEntry("media.mov");
  const Identified reference = Identify(dir.write("ref.mov", QtFile("", {track}, false)));
  EXPECT_EQ(reference.fileType, 56u);  // ProRes in a reference movie -> 56
}

TEST(MxfIdentification, FilesMadeByFFmpeg) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const std::string sd = "-f lavfi -i testsrc=duration=0.12:size=720x576:rate=25 ";
  const std::string hd = "-f lavfi -i testsrc=duration=0.12:size=1920x1080:rate=25 ";
  const struct {
    const char* name;
    std::string args;
    unsigned int fileType, videoType;
  } cases[] = {
      // Row 60: D-10 50 Mb/s 625/50 -> IMX file 12, IMX50 video 8.
      {"id_d10.mxf", sd + "-f mxf_d10 -c:v mpeg2video -g 1 -b:v 50M -minrate 50M -maxrate 50M -bufsize 2000000 "
                          "-rc_init_occupancy 2000000 -s 720x608 -pix_fmt yuv422p -vf setfield=tff -flags +ildct+ilme -top 1",
       12, 8},
      {"id_dnxhd.mxf", hd + "-c:v dnxhd -b:v 36M -pix_fmt yuv422p", 61, 14},  // row 7: DNxHD in OP1a
      {"id_dv.mxf", sd + "-c:v dvvideo -pix_fmt yuv420p", 20, 3},           // row 45: DV 25 Mb/s 625/50
      // FFmpeg's OP-Atom DNxHD label is row 7's, which needs OP1a: no row, 0 and 0.
      {"id_atom.mxf", hd + "-f mxf_opatom -c:v dnxhd -b:v 36M -pix_fmt yuv422p", 0, 0},
  };
  for (const auto& c : cases) {
    const Identified got = Identify(GetMediaFixture(c.name, {c.args}).path);
    EXPECT_EQ(got.code, 0) << c.name;
    EXPECT_EQ(got.fileType, c.fileType) << c.name;
    EXPECT_EQ(got.videoType, c.videoType) << c.name;
    EXPECT_EQ(got.tried, std::vector<char>{'M'}) << c.name;
  }
}

TEST(MxfIdentification, PatternAndLabelRows) {
  TempDir dir;
  const auto type = [&](uint8_t op13, uint8_t op14, const std::vector<std::string>& labels) {
    return Identify(dir.write("rows.mxf", MxfHeader(op13, op14, labels))).fileType;
  };
  const std::string dnxhdRow14 = Label("06.0e.2b.34.04.01.01.01.0e.04.03.01.02.06.03.03");
  EXPECT_EQ(type(0x10, 0x00, {dnxhdRow14}), 45u);  // OP-Atom: row 14
  EXPECT_EQ(type(0x01, 0x01, {dnxhdRow14}), 61u);  // OP1a: row 15
  EXPECT_EQ(type(0x10, 0x03, {dnxhdRow14}), 45u);  // 784 counts as OP-Atom
  // Row 13 compares neither byte 15 nor 16; audio elementary streams (4 in byte 15's high half) are 28.
  EXPECT_EQ(type(1, 1, {Label("06.0e.2b.34.04.01.01.02.0d.01.03.01.02.04.05.07")}), 27u);
  EXPECT_EQ(type(1, 1, {Label("06.0e.2b.34.04.01.01.02.0d.01.03.01.02.04.40.07")}), 28u);
  // A later label overrides an earlier one (row 45); an unknown one changes nothing.
  const Identified two = Identify(dir.write(
      "two.mxf", MxfHeader(1, 1, {dnxhdRow14, Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.01"),
                                  Label("06.0e.2b.34.04.01.01.01.0f.0f.0f.0f.0f.0f.0f.0f")})));
  EXPECT_EQ(two.fileType, 20u);
  EXPECT_EQ(two.videoType, 3u);
  const Identified none = Identify(dir.write("none.mxf", MxfHeader(1, 1, {})));
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.fileType, 0u);
}

// The deep analysis refuses the table's file types 11 and 29 (identification
// lets the error through); an AVC-Intra label on a file whose essence no
// reader can take keeps the table's pair.
TEST(MxfIdentification, DeepAnalysisRefusalsAndUnreadableEssence) {
  TempDir dir;
  const std::string refusal = "[Not implemented on Linux or Mac OS X]";
  const std::string row61 = Label("06.0e.2b.34.02.05.01.01.0d.01.03.01.18.01.02.01");  // 11
  const std::string row10 = Label("06.0e.2b.34.04.01.01.02.0d.01.03.01.02.04.61.01");  // 29
  EXPECT_EQ(QelFailure([&] { Identify(dir.write("mjpeg.mxf", MxfHeader(1, 1, {row61}))); }), refusal);
  EXPECT_EQ(QelFailure([&] { Identify(dir.write("xdcam.mxf", MxfHeader(1, 1, {row10}))); }), refusal);
  const Identified avci = Identify(dir.write("avci.mxf", MxfHeader(1, 1, {Label("06.0e.2b.34.04.01.01.0a.0d.01.03.01.02.10.60.01")})));
  EXPECT_EQ(avci.code, 0);
  EXPECT_EQ(avci.fileType, 65u);  // row 5
  EXPECT_EQ(avci.videoType, 23u);
}

TEST(IdentificationFailures, ExtensionOrderShortAndMissingFilesAndBatchCounts) {
  TempDir dir;
  const std::string header = MxfHeader(1, 1, {Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.01")});
  EXPECT_EQ(Identify(dir.write("clip.MXF", header)).tried, std::vector<char>{'M'});
  EXPECT_EQ(Identify(dir.write("clip.mov", header)).tried, (std::vector<char>{'Q', 'M'}));
  const Identified small = Identify(dir.write("small.mxf", header.substr(0, 1000)));
  EXPECT_EQ(small.tried, (std::vector<char>{'M', 'Q'}));  // below 1881 bytes: not MXF
  EXPECT_NE(small.code, 0);
  EXPECT_EQ(Identify(dir.write("empty.mov", "")).code, 10);  // nothing to read
  EXPECT_EQ(Identify(dir.file("missing.mov")).code, 3);     // no file reader
  // Claims four billion labels; holds one, at the very end of the first read.
  std::string claims = MxfHeader(1, 1, {Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.01")}, 0, 0xFFFFFFFF);
  claims.resize(0x10000 - 3, '\0');
  const Identified got = Identify(dir.write("claims.mxf", claims));
  EXPECT_EQ(got.code, 0);
  EXPECT_EQ(got.fileType, 20u);
}

TEST(IdentificationHelpers, XmlMxfAndOxlMarkersNeedTheirWholeLength) {
  EXPECT_TRUE(IsXML("\xEF\xBB\xBF<?xml "));
  EXPECT_FALSE(IsXML("<?xml"));
  std::string mxf = "xxx\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01\x02";
  EXPECT_FALSE(IsMXF(reinterpret_cast<unsigned char*>(&mxf[0]), unsigned(mxf.size())));  // needs one byte after
  mxf += 'x';
  EXPECT_TRUE(IsMXF(reinterpret_cast<unsigned char*>(&mxf[0]), unsigned(mxf.size())));
  std::string oxl = "\x80\x01..OXL Qbixo";
  EXPECT_FALSE(IsOXLMXF(reinterpret_cast<unsigned char*>(&oxl[0]), unsigned(oxl.size())));  // below 14 bytes
  oxl += 'x';
  EXPECT_TRUE(IsOXLMXF(reinterpret_cast<unsigned char*>(&oxl[0]), unsigned(oxl.size())));
}
