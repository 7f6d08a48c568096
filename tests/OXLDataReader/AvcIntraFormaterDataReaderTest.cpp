// AvcIntraFormaterDataReader: the mode it picks from a container's
// description, opening refused without a mode, and QuickTime AVC-Intra
// movies (with or without parameter sets in their samples) read as frames
// that FFmpeg decodes like the movie itself.
#include <gtest/gtest.h>

#include "OXLDataReader/AvcIntraFormaterDataReader.h"
#include "OXLDataReader/QTDatareader.h"
#include "support/AvcIntraFixtures.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"
#include "support/FFmpegTools.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;
using OXLDataReader::VideoDataType;

namespace {

struct Selection {
  VideoDataType type;
  OXLDataReader::VideoResolution resolution;
  OxlTbx::VideoSystem system;
  qel::ScanMode scan;
  unsigned int mode;
};

unsigned int Select(const Selection& s) {
  return AVCIntraModeHelper::GetAVCIntraMode(s.type, s.resolution, s.system, s.scan);
}

TEST(AvcIntraModeSelection, FollowsTheSelectionTable) {
  using namespace OXLDataReader;
  using namespace OxlTbx;
  const auto i = qel::ScanMode_Interlaced, p = qel::ScanMode_Progressive;
  const Selection table[] = {
      {AVC_I_100, HD_1080, VS_PAL, i, 10}, {AVC_I_100, HD_720, VS_NTSCDrop, p, 11},
      {AVC_I_100, HD_1080, VS_FieldPAL, p, 14}, {AVC_I_100, HD_720, VS_FieldPAL, p, 8},
      {AVC_I_100, HD_1080, VS_FieldNTSCDrop, p, 15}, {AVC_I_100, HD_720, VS_FieldNTSCDrop, p, 9},
      {AVC_I_50_1080i_Video, HD_720, VS_PAL, p, 2}, {AVC_I_50_1080i_Video, HD_1080, VS_NTSCDrop, i, 3},
      {AVC_I_50_1080i_Video, HD_1080, VS_FieldPAL, p, 6}, {AVC_I_50_1080i_Video, HD_720, VS_FieldPAL, p, 0},
      {AVC_I_50_1080i_Video, HD_1080, VS_FieldNTSCDrop, p, 7}, {AVC_I_50_1080i_Video, SD_625, VS_FieldNTSCDrop, p, 1},
      {XAVC_Intra_Class50, HD_1080, VS_PAL, i, 16}, {XAVC_Intra_Class50, HD_1080, VS_NTSCDrop, p, 17},
      {XAVC_Intra_Class50, HD_1080, VS_FieldPAL, p, 34}, {XAVC_Intra_Class50, HD_1080, VS_FieldNTSCDrop, p, 34},
      {XAVC_Intra_Class100, HD_1080, VS_PAL, i, 20}, {XAVC_Intra_Class100, HD_1080, VS_PAL, p, 22},
      {XAVC_Intra_Class100, HD_1080, VS_NTSCDrop, i, 21}, {XAVC_Intra_Class100, HD_1080, VS_NTSCDrop, p, 25},
      {XAVC_Intra_Class100, HD_1080, VS_PAL, qel::ScanMode_Unknown, 34},
      {XAVC_Intra_Class100, HD_1080, VS_FieldPAL, p, 24}, {XAVC_Intra_Class100, HD_720, VS_FieldPAL, p, 18},
      {XAVC_Intra_Class100, HD_1080, VS_FieldNTSCDrop, p, 25}, {XAVC_Intra_Class100, HD_720, VS_FieldNTSCDrop, i, 19},
      {AVC_I_100_720P_Video, HD_720, VS_FieldPAL, p, 34}, {AVC_I_50_720P_Video, HD_720, VS_FieldPAL, p, 34},
      {H264_Video, HD_1080, VS_PAL, i, 34}, {AVC_I_100, HD_1080, VS_24, p, 34},
      {AVC_I_100, HD_1080, VS_NTSCNoDrop, p, 34},
  };
  for (const auto& s : table)
    EXPECT_EQ(Select(s), s.mode) << "type " << s.type << " system " << s.system << " resolution " << s.resolution
                                 << " scan " << s.scan;
}

// A wrapped reader that describes material without a file, as a container
// reader would after opening.
class DescribedReader : public COXLDataReader {
 public:
  DescribedReader(VideoDataType type, OxlTbx::VideoSystem system, bool progressive)
      : COXLDataReader(OXLDataReader::Video_Data, 0, "described"), m_Type(type), m_System(system),
        m_Progressive(progressive) {}
  int Open(bool) override { return openResult; }
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override {
    info.VideoType = m_Type;
    info.Resolution = OXLDataReader::HD_1080;
    info.Progressive = m_Progressive;
    return hasInfo;
  }
  int GetInOut(unsigned int*, unsigned int*, unsigned int* system) override {
    if (system) *system = m_System;
    return inOutResult;
  }
  // Answers with its own memory instead of filling the caller's buffer.
  int GetNextData(unsigned char*& data, unsigned int, unsigned int* size, double*) override {
    data = reinterpret_cast<unsigned char*>(lent.data());
    *size = static_cast<unsigned int>(lent.size());
    return 0;
  }
  std::string lent;
  int openResult = 0;
  bool hasInfo = true;
  int inOutResult = 0;

 private:
  VideoDataType m_Type;
  OxlTbx::VideoSystem m_System;
  bool m_Progressive;
};

std::string OpenFailure(std::shared_ptr<DescribedReader> inner) {
  AvcIntraFormaterDataReader reader(inner, OXLDataReader::Video_Data, "avci");
  return QelFailure([&] { reader.Open(false); });
}

TEST(AvcIntraFormaterOpen, ModeFromTheDescriptionOrARefusal) {
  auto inner = std::make_shared<DescribedReader>(OXLDataReader::XAVC_Intra_Class100, OxlTbx::VS_NTSCDrop, false);
  AvcIntraFormaterDataReader reader(inner, OXLDataReader::Video_Data, "avci");
  EXPECT_EQ(reader.GetMode(), 34u) << "no mode before opening";
  ASSERT_EQ(reader.Open(false), 0);
  EXPECT_EQ(reader.GetMode(), 21u);
  EXPECT_EQ(OpenFailure(std::make_shared<DescribedReader>(OXLDataReader::XAVC_Intra_Class50, OxlTbx::VS_FieldPAL, true)),
            "[AVC Intra mode may not be Unknown] [ value1 (34) is not != value2 (34) ]");
  auto noInfo = std::make_shared<DescribedReader>(OXLDataReader::AVC_I_100, OxlTbx::VS_PAL, false);
  noInfo->hasInfo = false;
  EXPECT_EQ(OpenFailure(noInfo), "[Failed to get avc intra video info] [ Condition is not true ]");
  auto noSystem = std::make_shared<DescribedReader>(OXLDataReader::AVC_I_100, OxlTbx::VS_PAL, false);
  noSystem->inOutResult = 7;
  EXPECT_EQ(OpenFailure(noSystem), "[Failed to get video system] [ value1 (0) is not == value2 (7) ]");
  // A failed inner open is returned without choosing a mode.
  auto failing = std::make_shared<DescribedReader>(OXLDataReader::H264_Video, OxlTbx::VS_PAL, false);
  failing->openResult = 3;
  EXPECT_EQ(AvcIntraFormaterDataReader(failing, OXLDataReader::Video_Data, "avci").Open(false), 3);
  EXPECT_NE(QelFailure([] { AvcIntraFormaterDataReader(nullptr, OXLDataReader::Video_Data, "avci"); }), "<no failure>");
}

TEST(AvcIntraFormaterReading, FrameLentByTheWrappedReaderIsFormattedIntoTheCallersBuffer) {
  auto inner = std::make_shared<DescribedReader>(OXLDataReader::AVC_I_100, OxlTbx::VS_PAL, false);
  const std::string slice("\0\0\0\1\x65\x88\x80\x40\x00\x10", 10);
  inner->lent = slice;
  AvcIntraFormaterDataReader reader(inner, OXLDataReader::Video_Data, "avci");
  ASSERT_EQ(reader.Open(false), 0);
  std::vector<unsigned char> buffer(COXLAVCIntraHelper().GetMaxFrameSize(reader.GetMode()));
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  ASSERT_EQ(reader.GetNextData(data, buffer.size(), &size, nullptr), 0);
  EXPECT_EQ(data, buffer.data());
  ASSERT_GT(size, slice.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data) + size - slice.size(), slice.size()), slice);
  EXPECT_EQ(inner->lent, slice) << "the lender's memory is left alone";
}

struct MovieCase {
  AvcIntraCase movie;
  unsigned int mode;  // from the selection table: the tag's type, the video system, the resolution
};

void PrintTo(const MovieCase& c, std::ostream* os) { *os << c.movie.name; }

std::unique_ptr<AvcIntraFormaterDataReader> OpenFormatter(const std::string& path) {
  auto reader = std::make_unique<AvcIntraFormaterDataReader>(
      std::make_shared<CQTDataReader>(OXLDataReader::Video_Data, "qt"), OXLDataReader::Video_Data, "avci");
  EXPECT_EQ(reader->Open(path.c_str(), false), 0);
  return reader;
}

std::vector<std::string> ReadFrames(COXLDataReader& reader, bool backwards) {
  std::vector<unsigned char> buffer(1 << 21);
  std::vector<std::string> frames;
  if (backwards) reader.GoToDataEnd();
  for (int i = 0; i < 50; ++i) {
    unsigned char* data = buffer.data();
    unsigned int size = 0;
    double time = 0;
    const int r = backwards ? reader.GetPrevData(data, buffer.size(), &size, &time)
                            : reader.GetNextData(data, buffer.size(), &size, &time);
    if (r != 0) {
      EXPECT_EQ(r, 100);
      break;
    }
    frames.emplace_back(reinterpret_cast<const char*>(data), size);
  }
  if (backwards) std::reverse(frames.begin(), frames.end());
  return frames;
}

std::string Joined(const std::vector<std::string>& frames) {
  std::string all;
  for (const auto& f : frames) all += f;
  return all;
}

// The movie with the format code of the case (the one the reader's type
// comes from), and a copy of it without parameter sets.
class AvcIntraMovies : public testing::TestWithParam<MovieCase> {
 protected:
  void SetUp() override {
    movie = &AvcIntraFixture(GetParam().movie);
    path = dir.file("avci.mov");
    blankPath = dir.file("blank.mov");
    WriteMovieWithFormatCode(*movie, GetParam().movie.tag, path);
    MediaFixture tagged{path, movie->probe};
    WriteMovieWithoutParameterSets(tagged, blankPath);
  }
  TempDir dir;
  const MediaFixture* movie = nullptr;
  std::string path, blankPath;
};

TEST_P(AvcIntraMovies, FramesDecodeLikeTheMovieWithOrWithoutParameterSets) {
  const auto expected = MovieFrameMd5s(*movie);
  ASSERT_EQ(expected.size(), movie->probe.Packets("v:0").size());

  auto reader = OpenFormatter(path);
  EXPECT_EQ(reader->GetMode(), GetParam().mode);
  const auto frames = ReadFrames(*reader, false);
  auto blankReader = OpenFormatter(blankPath);
  const auto blankFrames = ReadFrames(*blankReader, false);
  const auto blankBackwards = ReadFrames(*blankReader, true);
  EXPECT_EQ(blankBackwards, blankFrames);

  std::vector<std::string> expectedTwice = expected;
  expectedTwice.insert(expectedTwice.end(), expected.begin(), expected.end());
  EXPECT_EQ(DecodedFrameMd5s("-f h264 -i " + ShellQuote(dir.write("s.h264", Joined(frames) + Joined(blankFrames)))),
            expectedTwice);
}

// A buffer below the mode's largest frame consumes no frame; a frame with
// parameter sets is delivered as stored, one without gets them inserted, in
// the caller's buffer as in a sample container.
TEST_P(AvcIntraMovies, FramesWithAndWithoutParameterSetsInBuffersAndContainers) {
  auto reader = OpenFormatter(path);
  const unsigned int max = COXLAVCIntraHelper().GetMaxFrameSize(reader->GetMode());
  std::vector<unsigned char> buffer(max);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = -1;
  EXPECT_EQ(reader->GetNextData(data, max - 1, &size, &time), 101);
  EXPECT_EQ(size, max);
  ASSERT_EQ(reader->GetNextData(data, max, &size, &time), 0);
  EXPECT_EQ(time, 0.0) << "the first frame is still to be read";
  EXPECT_EQ(Md5Hash(std::string(reinterpret_cast<const char*>(data), size)), movie->probe.Packets("v:0")[0].dataHash);
  auto blank = OpenFormatter(blankPath);
  const auto container = blank->GetNextDataSampleContainer();
  ASSERT_NE(container, nullptr);
  const auto sample = container->GetSample()->GetBuffer();
  const std::string bytes(reinterpret_cast<const char*>(sample->GetData()), sample->GetSize());
  blank->GoToDataStart();
  EXPECT_EQ(bytes, ReadFrames(*blank, false).at(0));
  EXPECT_NE(bytes, PacketBytes(*movie).at(0)) << "the parameter sets were inserted";
}

const MovieCase kMovieCases[] = {
    {{"avci50_1080i25.mov", 50, 1440, 1080, true, "25", "ai55", false}, 2},
    {{"avci50_720p25.mov", 50, 960, 720, false, "25", "ai5q", false}, 2},
    {{"avci50_1080i2997.mov", 50, 1440, 1080, true, "30000/1001", "ai56", false}, 3},
    {{"avci50_720p5994.mov", 50, 960, 720, false, "60000/1001", "ai5p", false}, 1},
    {{"avci100_1080i25.mov", 100, 1920, 1080, true, "25", "ai15", false}, 10},
    {{"avci100_720p50.mov", 100, 1280, 720, false, "50", "ai1q", false}, 8},
    {{"avci100_1080p5994.mov", 100, 1920, 1080, false, "60000/1001", "ai13", false}, 15},
};

INSTANTIATE_TEST_SUITE_P(X264, AvcIntraMovies, testing::ValuesIn(kMovieCases),
                         [](const testing::TestParamInfo<MovieCase>& info) {
                           const std::string name = info.param.movie.name;
                           return name.substr(0, name.find('.'));
                         });

// A frame the formatter cannot take gives -1 and stays in the buffer as it
// was read; the next frame is read as usual.
TEST(AvcIntraFormaterReading, DamagedFrameGivesFormatFailure) {
  const std::string slice("\0\0\0\1\x65\x88\x80\x40\x00\x10", 10);
  const std::string overrun = ByteBuilder().u32(9).bytes(slice.substr(4)).str();  // 3 bytes missing
  const std::string samples[] = {"random bytes, no start code", overrun, slice};
  QtWriterTrack track;
  std::string payload;
  for (const auto& s : samples) {
    track.offsets.push_back(payload.size());
    track.sizes.push_back(static_cast<uint32_t>(s.size()));
    payload += s;
  }
  track.stsd = VideoStsd("ai12", 1920, 1080);
  track.width = 1920;
  track.height = 1080;
  TempDir dir;
  auto reader = OpenFormatter(dir.write("damaged.mov", QtFile(payload, {track}, true)));
  ASSERT_EQ(reader->GetMode(), 10u);
  std::vector<unsigned char> buffer(1 << 21);
  for (const auto& s : {samples[0], samples[1]}) {
    unsigned char* data = buffer.data();
    unsigned int size = 0;
    EXPECT_EQ(reader->GetNextData(data, buffer.size(), &size, nullptr), -1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), s.size()), s);
  }
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  ASSERT_EQ(reader->GetNextData(data, buffer.size(), &size, nullptr), 0);
  EXPECT_GT(size, slice.size()) << "parameter sets inserted before the slice";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data) + size - slice.size(), slice.size()), slice);
}

}  // namespace
