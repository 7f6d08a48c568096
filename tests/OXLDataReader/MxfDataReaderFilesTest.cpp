// The MXF reader (IMX, MPEG-2 long GOP, DNxHD OP-Atom; timecodes at 25, 29.97
// and 50 fps) and the IMX reader (every frame, both ways; moves) against ffprobe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "OXLDataReader/IMXVideoReader.h"
#include "OXLDataReader/MXFDataReader.h"
#include "support/FFmpegTools.h"
#include "support/ImxFixtures.h"

namespace {

using oxltest::ImxCase;

// D-10 essence in OP1a is labelled MPEG-2 422P intra: no table row, type 0.
std::vector<ImxCase> Cases() {
  std::vector<ImxCase> cases = oxltest::ImxCases();
  std::string op1a = oxltest::D10Args(50, false, false, 0.12);
  op1a.replace(op1a.find("-f mxf_d10"), std::string::npos, "-timecode 00:59:59:00 -f mxf");
  cases.insert(cases.end(),
               {{"imx50_op1a_tc.mxf", op1a, 0},
                {"mpeg2_ntsc_drop.mxf",
                 "-f lavfi -i testsrc=size=720x480:rate=30000/1001 -f lavfi -i sine=sample_rate=48000 -c:a pcm_s16le "
                 "-ac 2 -t 0.4 -c:v mpeg2video -g 6 -timecode 01:00:59\\;29 -f mxf", 0},
                {"mpeg2_50p.mxf",
                 "-f lavfi -i testsrc=size=320x240:rate=50 -t 0.2 -c:v mpeg2video -g 5 -timecode 11:22:33:44 -f mxf", 0},
                {"dnxhd_opatom.mxf",  // 720p 90 Mb/s is DNxHD CID 1251, label 71.11
                 "-f lavfi -i testsrc=size=1280x720:rate=50 -t 0.04 -c:v dnxhd -b:v 90M -pix_fmt yuv422p "
                 "-timecode 02:00:00:10 -f mxf_opatom", 15}});
  return cases;
}

class MxfFileTest : public oxltest::ImxCaseTest {
 protected:
  void SetUp() override {
    ImxCaseTest::SetUp();
    if (IsSkipped()) return;
    unsigned long num = 0, den = 1;
    std::sscanf(fixture->probe.Stream("v:0").frameRate.c_str(), "%lu/%lu", &num, &den);
    rate = double(num) / den;
    ASSERT_EQ(reader.Open(fixture->path.c_str(), false), 0);
  }
  double rate = 0;
  CMXFDataReader reader{OXLDataReader::Video_Data, 65536, "mxf-test"};
};

TEST_P(MxfFileTest, TimingAgreesWithFFprobe) {
  const long frames = static_cast<long>(packets.size());
  EXPECT_DOUBLE_EQ(reader.GetEditRate(), std::floor(rate * 100) / 100);
  EXPECT_EQ(reader.GetDuration(), frames);
  const unsigned int fieldsPerFrame = rate > 40 ? 1 : 2;
  EXPECT_EQ(reader.GetFieldsPerFrame(), fieldsPerFrame);
  EXPECT_DOUBLE_EQ(reader.GetFieldRate(), reader.GetEditRate() * fieldsPerFrame);

  const std::string timecode = oxltest::RunCommand("ffprobe -v error -show_entries format_tags=timecode "
                                                   "-of default=nw=1:nk=1 " + oxltest::ShellQuote(fixture->path))
                                   .output;
  unsigned short h = 0, m = 0, s = 0, f = 0;
  ASSERT_TRUE(reader.GetStartTimeCode().GetHMSF(h, m, s, f));
  char text[40];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u:%02u\n", h, m, s, f);
  std::string expected = timecode.empty() ? "00:00:00:00\n" : timecode;
  std::replace(expected.begin(), expected.end(), ';', ':');
  EXPECT_EQ(text, expected);

  // The timecode's own system: its rounded base and drop-frame mark.
  const long base = std::lround(rate);
  const bool drop = timecode.find(';') != std::string::npos;
  const OxlTbx::VideoSystem system = base == 25   ? OxlTbx::VS_PAL
                                     : base == 50 ? OxlTbx::VS_FieldPAL
                                     : base == 30 ? (drop ? OxlTbx::VS_NTSCDrop : OxlTbx::VS_NTSCNoDrop)
                                                  : (drop ? OxlTbx::VS_FieldNTSCDrop : OxlTbx::VS_FieldNTSCNoDrop);
  EXPECT_EQ(std::make_pair(reader.GetTimecodeSystem(), reader.IsDropFrame()), std::make_pair(system, drop));

  // In and out span the material in fields at the system's nominal rate.
  unsigned int in = 0, out = 0, videoSystem = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &videoSystem), 0);
  EXPECT_EQ(std::make_tuple(videoSystem, in),
            std::make_tuple(unsigned(reader.GetVideoSystem()), reader.GetStartTimeCode().GetFields()));
  EXPECT_EQ(out - in, static_cast<unsigned int>(std::lround(frames / rate / CTimeCode::GetFieldTime(reader.GetVideoSystem()))));
  EXPECT_EQ(reader.GetInOut(&in, &out, nullptr), 1);
}

TEST_P(MxfFileTest, PackagesPartitionsAndPictureAreThoseOfTheFile) {
  int picture = 0, sound = 0, timecode = 0;
  for (const auto& track : reader.GetMaterialPackage().m_Tracks) {
    picture += track.m_Kind == Oxl_Mxf::Track_Picture;
    sound += track.m_Kind == Oxl_Mxf::Track_Sound;
    timecode += track.m_Kind == Oxl_Mxf::Track_Timecode;
  }
  const bool audio = GetParam().args.find("sine") != std::string::npos;
  EXPECT_EQ(std::make_tuple(picture, sound > 0, timecode), std::make_tuple(1, audio, 1));
  EXPECT_TRUE(reader.GetMetadataList().empty());  // FFmpeg writes no descriptive metadata

  // (The partitions of FFmpeg's files: the probe summary tests.)
  ASSERT_FALSE(reader.GetDataClips().empty());
  EXPECT_EQ(reader.GoToDataStart(), 0);
  EXPECT_EQ(reader.GetBufferFileOffset() + (reader.GetBufferDataSize() - reader.GetAvailableBytes()),
            reader.GetDataClips().front().start);

  std::string descriptor = reader.GetPictureDescriptor();
  ASSERT_FALSE(descriptor.empty());
  OXLDataReader::VIDEO_INFO info{};
  const bool known = reader.GetCDCIVideoInfo(reinterpret_cast<unsigned char*>(descriptor.data()),
                                             static_cast<unsigned int>(descriptor.size()), info);
  // D-10 pictures carry the VBI lines FFmpeg padded on top; H.264 whole macroblocks.
  const oxltest::ProbeStream& video = fixture->probe.Stream("v:0");
  const int stored = video.codecName == "h264" ? (video.height + 15) / 16 * 16 : video.height;
  EXPECT_EQ(std::make_pair(info.Width, info.Height), std::make_pair(uint32_t(video.width), uint32_t(stored)));
  if (GetParam().videoType == 0) return;
  ASSERT_TRUE(known);
  EXPECT_EQ(static_cast<unsigned int>(info.VideoType), GetParam().videoType);
  EXPECT_EQ(info.EditRate, qel::EditRate(static_cast<uint32_t>(std::lround(rate * 1000)), 1000));
  // AVC-Intra types would be refined by the camera's metadata, which FFmpeg does not write.
  OXLDataReader::VideoDataType type = info.VideoType;
  if (CMXFDataReader::MetadataAnalysisIsRequired(type)) {
    EXPECT_EQ(reader.AnalyzeMetadata(type), -1);
    EXPECT_EQ(type, info.VideoType);
  }
}

INSTANTIATE_TEST_SUITE_P(FFmpeg, MxfFileTest, ::testing::ValuesIn(Cases()), oxltest::ImxCaseName);

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

// Forwards through the pictures in the reader's window, backwards through a
// caller buffer; then moves by field, time and skips.
TEST_P(ImxFileTest, EveryFrameIsFFprobesPacketAndMovesLandOnTheFrameAsked) {
  int last = 0;
  ExpectSameFrames(oxltest::ReadAll(reader, 0, false, &last), packets);
  EXPECT_EQ(last, 100);
  EXPECT_EQ(reader.SkipNextData(), -1);  // nothing to skip past the end
  EXPECT_EQ(reader.GetDuration(), static_cast<int64_t>(packets.size()));
  ASSERT_EQ(reader.GoToDataEnd(), 0);
  ExpectSameFrames(oxltest::ReadAll(reader, editBytes, true, &last), {packets.rbegin(), packets.rend()});
  EXPECT_EQ(last, 100);  // GetPrevData at the first edit unit
  // A caller buffer smaller than the picture: 101, and the position stays.
  std::string small(16, '\0');
  auto* data = reinterpret_cast<unsigned char*>(small.data());
  unsigned int size = 0;
  EXPECT_EQ(reader.GetNextData(data, 16, &size, nullptr), 101);
  EXPECT_EQ(FirstMd5(), packets.front().first);

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
  EXPECT_EQ(std::make_pair(system, out - in),
            std::make_pair(unsigned(reader.GetVideoSystem()), unsigned(packets.size() * reader.GetFieldsPerFrame())));

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
  // A negative time is the start. (Beyond the end: the growing-file test.)
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
