// The IMX video reader on MXF files FFmpeg makes: every frame forwards and
// backwards equals ffprobe's video packet, times within half a frame of
// ffprobe's, moves by field, time and skips, the ends, and the sample infos.
#include <gtest/gtest.h>

#include <cmath>

#include "OXLDataReader/IMXVideoReader.h"
#include "support/ImxFixtures.h"

namespace {

class ImxFileTest : public oxltest::ImxCaseTest {
 protected:
  void SetUp() override {
    ImxCaseTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(reader.Open(fixture->path.c_str(), false), 0);
    ASSERT_EQ(reader.GetSampleInfos(nullptr, &editBytes, nullptr), 0);
    framePeriod = 1 / reader.GetEditRate();
  }
  // The MD5 of the first frame ReadAll delivers from the reader's position.
  std::string FirstMd5(bool backwards = false) {
    const auto frames = oxltest::ReadAll(reader, editBytes, backwards);
    return frames.empty() ? "" : oxltest::Md5Hash(frames.front().bytes);
  }
  void ExpectSameFrames(const std::vector<oxltest::DeliveredFrame>& frames,
                        const std::vector<std::pair<std::string, double>>& expected) {
    ASSERT_EQ(frames.size(), expected.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(oxltest::Md5Hash(frames[i].bytes), expected[i].first) << "frame " << i;
      EXPECT_NEAR(frames[i].time, expected[i].second, framePeriod / 2) << "frame " << i;
    }
  }

  CIMXVideoReader reader{"imx-test"};
  unsigned int editBytes = 0;
  double framePeriod = 0.04;
};

TEST_P(ImxFileTest, EveryFrameIsFFprobesPacketForwardsAndBackwards) {
  int last = 0;
  ExpectSameFrames(oxltest::ReadAll(reader, editBytes, false, &last), packets);
  EXPECT_EQ(last, 100);
  EXPECT_EQ(reader.SkipNextData(), -1);  // nothing to skip past the end
  EXPECT_EQ(reader.GetDuration(), static_cast<int64_t>(packets.size()));
  EXPECT_FALSE(reader.IsGrowing());
  ASSERT_EQ(reader.GoToDataEnd(), 0);
  ExpectSameFrames(oxltest::ReadAll(reader, editBytes, true, &last), {packets.rbegin(), packets.rend()});
  EXPECT_EQ(last, 100);  // GetPrevData at the first edit unit

  // A caller buffer smaller than the picture: 101, and the position stays.
  std::string buffer(editBytes, '\0');
  auto* data = reinterpret_cast<unsigned char*>(buffer.data());
  unsigned int size = 0;
  EXPECT_EQ(reader.GetNextData(data, 16, &size, nullptr), 101);
  ASSERT_EQ(reader.GetNextData(data, editBytes, &size, nullptr), 0);
  EXPECT_EQ(oxltest::Md5Hash(buffer.substr(0, size)), packets.front().first);
  // Without a caller buffer: the picture in the reader's window.
  unsigned char* window = nullptr;
  double time = -1;
  ASSERT_EQ(reader.GetNextData(window, 0, &size, &time), 0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(oxltest::Md5Hash(std::string(reinterpret_cast<char*>(window), size)), packets[1].first);
  EXPECT_NEAR(time, packets[1].second, framePeriod / 2);

  // The edit unit is the distance between two frames' packets in the file;
  // in and out span every frame's fields.
  unsigned int fieldRate = 0, bytes = 0, in = 0, out = 0, system = 0;
  unsigned char aspect = 0xAA;
  ASSERT_EQ(reader.GetSampleInfos(&fieldRate, &bytes, &aspect), 0);
  EXPECT_EQ(fieldRate, static_cast<unsigned int>(std::lround(GetParam().fieldsPerSecond)));
  const auto& probed = fixture->probe.Packets("v:0");
  EXPECT_EQ(bytes, *probed[1].pos - *probed[0].pos);
  const std::string args = GetParam().args;
  if (args.find("-aspect") != std::string::npos) {
    EXPECT_EQ(aspect, args.find("-aspect 16:9") != std::string::npos ? 3 : 2);
  }
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(system, static_cast<unsigned int>(reader.GetVideoSystem()));
  EXPECT_EQ(out - in, packets.size() * reader.GetFieldsPerFrame());
}

TEST_P(ImxFileTest, FieldTimeAndSkipMovesLandOnTheFrameAsked) {
  const size_t frame = packets.size() / 2;
  const unsigned int fieldsPerFrame = reader.GetFieldsPerFrame();
  unsigned int reached = 0;
  ASSERT_EQ(reader.GoToFieldOffset(static_cast<unsigned int>(frame * fieldsPerFrame + fieldsPerFrame - 1), &reached), 0);
  EXPECT_EQ(reached, frame * fieldsPerFrame);
  EXPECT_EQ(FirstMd5(), packets[frame].first);

  // A time a little past a frame start moves to that frame and reports its
  // time; backwards from there come the frames before it.
  double seconds = frame * framePeriod + 0.3 * framePeriod;
  ASSERT_EQ(reader.GoToTimeOffset(seconds), 0);
  EXPECT_NEAR(seconds, packets[frame].second, 1e-9 + framePeriod / 2);
  EXPECT_EQ(oxltest::ReadAll(reader, editBytes, true).size(), frame);

  // Beyond the duration of a finished file; a negative time is the start.
  EXPECT_EQ(reader.GoToFieldOffset(static_cast<unsigned int>((packets.size() + 1) * fieldsPerFrame), nullptr), 1);
  double negative = -3;
  ASSERT_EQ(reader.GoToTimeOffset(negative), 0);
  EXPECT_EQ(negative, 0);

  // Skips step one edit unit; none before the first.
  ASSERT_EQ(reader.SkipNextData(), 0);
  ASSERT_EQ(reader.SkipNextData(), 0);
  ASSERT_EQ(reader.SkipPrevData(), 0);
  EXPECT_EQ(FirstMd5(), packets[1].first);
  ASSERT_EQ(reader.GoToDataStart(), 0);
  EXPECT_EQ(reader.SkipPrevData(), -1);
}

INSTANTIATE_TEST_SUITE_P(FFmpeg, ImxFileTest, ::testing::ValuesIn(oxltest::ImxCases()), oxltest::ImxCaseName);

}  // namespace
