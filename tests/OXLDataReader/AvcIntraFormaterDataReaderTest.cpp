// AvcIntraFormaterDataReader: the mode it picks from a container's
// description, opening refused without a mode, buffer handling, and frames
// of QuickTime AVC-Intra movies, whole or damaged.
#include <gtest/gtest.h>

#include <algorithm>

#include "OXLDataReader/AvcIntraFormaterDataReader.h"
#include "OXLDataReader/QTDatareader.h"
#include "QTFileCases.h"
#include "support/AvcIntraFixtures.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace OXLDataReader;

namespace {

// A wrapped reader that describes material without a file, as a container
// reader would after opening.
class DescribedReader : public COXLDataReader {
 public:
  DescribedReader(VideoDataType type, OxlTbx::VideoSystem system)
      : COXLDataReader(Video_Data, 0, "described"), m_Type(type), m_System(system) {}
  int Open(bool) override { return openResult; }
  bool GetVideoInfo(VIDEO_INFO& info) override {
    info.VideoType = m_Type;
    info.Resolution = HD_1080;
    info.Progressive = m_System == OxlTbx::VS_FieldPAL || m_System == OxlTbx::VS_FieldNTSCDrop;
    return hasInfo;
  }
  int GetInOut(unsigned int*, unsigned int*, unsigned int* system) override {
    if (system) *system = m_System;
    return inOutResult;
  }
  int openResult = 0, inOutResult = 0;
  bool hasInfo = true;

 private:
  VideoDataType m_Type;
  OxlTbx::VideoSystem m_System;
};

// 1080-line material of the types and systems the x264 movies below do not
// cover; interlaced at 25 and 29.97 frames/s, else progressive.
TEST(AvcIntraFormaterOpen, ModeFromTheDescriptionOrARefusal) {
  const std::tuple<VideoDataType, OxlTbx::VideoSystem, unsigned int> modes[] = {
      {XAVC_Intra_Class100, OxlTbx::VS_NTSCDrop, 21}, {XAVC_Intra_Class100, OxlTbx::VS_PAL, 20},
      {XAVC_Intra_Class100, OxlTbx::VS_FieldPAL, 24}, {XAVC_Intra_Class100, OxlTbx::VS_FieldNTSCDrop, 25},
      {XAVC_Intra_Class50, OxlTbx::VS_PAL, 16},       {AVC_I_100, OxlTbx::VS_FieldPAL, 14},
      {AVC_I_50_1080i_Video, OxlTbx::VS_FieldPAL, 6}, {AVC_I_50_1080i_Video, OxlTbx::VS_FieldNTSCDrop, 7}};
  for (const auto& [type, system, mode] : modes) {
    AvcIntraFormaterDataReader reader(std::make_shared<DescribedReader>(type, system), Video_Data, "avci");
    EXPECT_EQ(reader.GetMode(), 34u) << "no mode before opening";
    ASSERT_EQ(reader.Open(false), 0);
    EXPECT_EQ(reader.GetMode(), mode) << "type " << type << ", system " << system;
  }
  const auto failure = [](VideoDataType type, OxlTbx::VideoSystem system, auto change) {
    auto described = std::make_shared<DescribedReader>(type, system);
    change(*described);
    AvcIntraFormaterDataReader failing(described, Video_Data, "avci");
    return QelFailure([&] { failing.Open(false); });
  };
  EXPECT_EQ(failure(XAVC_Intra_Class50, OxlTbx::VS_FieldPAL, [](auto&) {}),
            "[AVC Intra mode may not be Unknown] [ value1 (34) is not != value2 (34) ]");
  EXPECT_EQ(failure(AVC_I_100, OxlTbx::VS_PAL, [](auto& r) { r.hasInfo = false; }),
            "[Failed to get avc intra video info] [ Condition is not true ]");
  EXPECT_EQ(failure(AVC_I_100, OxlTbx::VS_PAL, [](auto& r) { r.inOutResult = 7; }),
            "[Failed to get video system] [ value1 (0) is not == value2 (7) ]");
  // A failed inner open is returned without choosing a mode.
  auto failing = std::make_shared<DescribedReader>(H264_Video, OxlTbx::VS_PAL);
  failing->openResult = 3;
  EXPECT_EQ(AvcIntraFormaterDataReader(failing, Video_Data, "avci").Open(false), 3);
  EXPECT_NE(QelFailure([] { AvcIntraFormaterDataReader(nullptr, Video_Data, "avci"); }), "<no failure>");
}

struct MovieCase {
  AvcIntraCase movie;
  unsigned int mode;  // from the selection table: the tag's type, the video system, the resolution
};

void PrintTo(const MovieCase& c, std::ostream* os) { *os << c.movie.name; }

std::unique_ptr<AvcIntraFormaterDataReader> OpenFormatter(const std::string& path) {
  auto reader = std::make_unique<AvcIntraFormaterDataReader>(std::make_shared<CQTDataReader>(Video_Data, "qt"),
                                                             Video_Data, "avci");
  EXPECT_EQ(reader->Open(path.c_str(), false), 0);
  return reader;
}

// The movie with the format code of the case (the one the reader's type
// comes from): its frames carry parameter sets and are delivered as stored,
// forwards and backwards. A buffer below the mode's largest frame consumes
// no frame. (How frames are formatted is the helper's own test.)
class AvcIntraMovies : public testing::TestWithParam<MovieCase> {};

TEST_P(AvcIntraMovies, ModeFromTheMovieAndFramesAsStored) {
  const MediaFixture& movie = AvcIntraFixture(GetParam().movie);
  TempDir dir;
  const std::string path = dir.file("avci.mov");
  WriteMovieWithFormatCode(movie, GetParam().movie.tag, path);
  auto reader = OpenFormatter(path);
  EXPECT_EQ(reader->GetMode(), GetParam().mode);
  const unsigned int max = COXLAVCIntraHelper().GetMaxFrameSize(reader->GetMode());
  std::vector<unsigned char> buffer(max);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  EXPECT_EQ(reader->GetNextData(data, max - 1, &size, nullptr), 101);
  EXPECT_EQ(size, max);
  const auto frames = qtfiles::ReadForward(*reader, 50);
  auto backwards = qtfiles::ReadBackward(*reader, 50);
  std::reverse(backwards.begin(), backwards.end());
  std::string stored;
  for (const auto& packet : PacketBytes(movie)) stored += packet;
  EXPECT_EQ(qtfiles::Joined(frames), stored);
  EXPECT_EQ(qtfiles::Joined(backwards), stored);
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

// A frame the formatter cannot take (no start code; a length running past
// the sample) gives -1 and stays in the buffer as it was read; the next frame
// is read as usual, parameter sets inserted.
TEST(AvcIntraFormaterReading, DamagedFrameGivesFormatFailure) {
  const std::string slice("\0\0\0\1\x65\x88\x80\x40\x00\x10", 10);
  const std::string samples[] = {"random bytes, no start code", ByteBuilder().u32(9).bytes(slice.substr(4)).str(), slice};
  QtWriterTrack track;
  std::string payload;
  for (const auto& s : samples) track.offsets.push_back(payload.size()), track.sizes.push_back(s.size()), payload += s;
  track.stsd = VideoStsd("ai12", 1920, 1080);
  TempDir dir;
  auto reader = OpenFormatter(dir.write("damaged.mov", QtFile(payload, {track}, true)));
  ASSERT_EQ(reader->GetMode(), 10u);
  std::vector<unsigned char> buffer(1 << 21);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(reader->GetNextData(data, buffer.size(), &size, nullptr), -1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), samples[i].size()), samples[i]);
  }
  const auto last = qtfiles::ReadForward(*reader, 1);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_GT(last[0].bytes.size(), slice.size()) << "parameter sets inserted before the slice";
  EXPECT_EQ(last[0].bytes.substr(last[0].bytes.size() - slice.size()), slice);
}

}  // namespace
