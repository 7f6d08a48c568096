// The IMX video reader on MXF files FFmpeg makes: every frame forwards and
// backwards equals ffprobe's video packet, times within half a frame of
// ffprobe's, moves by field and time, the ends, and the description.
#include <gtest/gtest.h>

#include <cmath>

#include "OXLDataReader/IMXVideoReader.h"
#include "support/ImxFixtures.h"

namespace {

using oxltest::ImxCase;

class ImxFileTest : public ::testing::TestWithParam<ImxCase> {
 protected:
  void SetUp() override {
    if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const ImxCase& c = GetParam();
    if (c.needsX264 && !oxltest::FindMediaFixture(c.name, {c.args}) && !oxltest::HasEncoder("libx264"))
      GTEST_SKIP() << "ffmpeg has no libx264";
    fixture = &oxltest::GetMediaFixture(c.name, {c.args});
    packets = oxltest::VideoPackets(*fixture);
    ASSERT_EQ(reader.Open(fixture->path.c_str(), false), 0);
    ASSERT_EQ(reader.GetSampleInfos(nullptr, &editBytes, nullptr), 0);
    framePeriod = 1 / reader.GetEditRate();
  }

  void ExpectSameFrames(const std::vector<oxltest::DeliveredFrame>& frames,
                        const std::vector<std::pair<std::string, double>>& expected) {
    ASSERT_EQ(frames.size(), expected.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(oxltest::Md5Hash(frames[i].bytes), expected[i].first) << "frame " << i;
      EXPECT_NEAR(frames[i].time, expected[i].second, framePeriod / 2) << "frame " << i;
    }
  }

  const oxltest::MediaFixture* fixture = nullptr;
  std::vector<std::pair<std::string, double>> packets;
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
}

TEST_P(ImxFileTest, FieldAndTimeMovesLandOnTheFrameAsked) {
  const size_t frame = packets.size() / 2;
  const unsigned int fieldsPerFrame = reader.GetFieldsPerFrame();
  unsigned int reached = 0;
  ASSERT_EQ(reader.GoToFieldOffset(static_cast<unsigned int>(frame * fieldsPerFrame + fieldsPerFrame - 1), &reached), 0);
  EXPECT_EQ(reached, frame * fieldsPerFrame);
  auto frames = oxltest::ReadAll(reader, editBytes, false);
  ASSERT_EQ(frames.size(), packets.size() - frame);
  EXPECT_EQ(oxltest::Md5Hash(frames.front().bytes), packets[frame].first);

  // A time a little past a frame start moves to that frame and reports its time.
  double seconds = frame * framePeriod + 0.3 * framePeriod;
  ASSERT_EQ(reader.GoToTimeOffset(seconds), 0);
  EXPECT_NEAR(seconds, packets[frame].second, 1e-9 + framePeriod / 2);
  frames = oxltest::ReadAll(reader, editBytes, true);
  ASSERT_EQ(frames.size(), frame);  // backwards from there: the frames before it
  if (frame) {
    EXPECT_EQ(oxltest::Md5Hash(frames.front().bytes), packets[frame - 1].first);
  }

  // Beyond the duration of a finished file.
  EXPECT_EQ(reader.GoToFieldOffset(static_cast<unsigned int>((packets.size() + 1) * fieldsPerFrame), nullptr), 1);
  double negative = -3;
  ASSERT_EQ(reader.GoToTimeOffset(negative), 0);
  EXPECT_EQ(negative, 0);
  // 1.01 s at 50 fields per second is field 50: frame 25 at 1.0 s.
  if (GetParam().fieldsPerSecond == 50 && packets.size() > 25) {
    double seek = 1.01;
    ASSERT_EQ(reader.GoToTimeOffset(seek), 0);
    EXPECT_DOUBLE_EQ(seek, 1.0);
    frames = oxltest::ReadAll(reader, editBytes, false);
    ASSERT_EQ(frames.size(), packets.size() - 25);
    EXPECT_EQ(oxltest::Md5Hash(frames.front().bytes), packets[25].first);
    EXPECT_DOUBLE_EQ(frames.front().time, 1.0);
    ASSERT_EQ(reader.GoToDataStart(), 0);
  }

  // Skips step one edit unit; none before the first.
  ASSERT_EQ(reader.SkipNextData(), 0);
  ASSERT_EQ(reader.SkipNextData(), 0);
  ASSERT_EQ(reader.SkipPrevData(), 0);
  frames = oxltest::ReadAll(reader, editBytes, false);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(oxltest::Md5Hash(frames.front().bytes), packets[1].first);
  ASSERT_EQ(reader.GoToDataStart(), 0);
  EXPECT_EQ(reader.SkipPrevData(), -1);
}

TEST_P(ImxFileTest, SampleInfosAndVideoInfoDescribeTheFile) {
  const oxltest::ProbeStream& stream = fixture->probe.Stream("v:0");
  unsigned int fieldRate = 0, bytes = 0;
  unsigned char aspect = 0xAA;
  ASSERT_EQ(reader.GetSampleInfos(&fieldRate, &bytes, &aspect), 0);
  EXPECT_EQ(fieldRate, static_cast<unsigned int>(std::lround(GetParam().fieldsPerSecond)));
  // The edit unit is the distance between two frames' packets in the file.
  const auto& probed = fixture->probe.Packets("v:0");
  ASSERT_GE(probed.size(), 2u);
  EXPECT_EQ(bytes, *probed[1].pos - *probed[0].pos);
  const std::string args = GetParam().args;
  const bool wide = args.find("-aspect 16:9") != std::string::npos, standard = args.find("-aspect 4:3") != std::string::npos;
  if (wide || standard) {
    EXPECT_EQ(aspect, wide ? 3 : 2);
  }

  OXLDataReader::VIDEO_INFO info{};
  ASSERT_TRUE(reader.GetVideoInfo(info));
  EXPECT_EQ(static_cast<unsigned int>(info.VideoType), GetParam().videoType);
  EXPECT_EQ(info.Width, static_cast<uint32_t>(stream.width));
  // D-10 pictures carry the VBI lines FFmpeg padded on top; H.264 whole macroblocks.
  const int height = stream.codecName == "h264" ? (stream.height + 15) / 16 * 16 : stream.height;
  EXPECT_EQ(info.Height, static_cast<uint32_t>(height));
  unsigned int in = 0, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(system, static_cast<unsigned int>(reader.GetVideoSystem()));
  EXPECT_EQ(out - in, packets.size() * reader.GetFieldsPerFrame());
}

INSTANTIATE_TEST_SUITE_P(FFmpeg, ImxFileTest, ::testing::ValuesIn(oxltest::ImxCases()),
                         [](const ::testing::TestParamInfo<ImxCase>& info) {
                           const std::string name = info.param.name;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
