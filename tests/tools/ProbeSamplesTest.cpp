// oxlprobe --samples against ffprobe's packets of the same FFmpeg-made files.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

struct PacketCase {
  const char* name;
  const char* file;
  const char* encoder;  // needed by this ffmpeg
  const char* arguments;
  const char* stream;   // ffprobe stream specifier
};

std::ostream& operator<<(std::ostream& out, const PacketCase& c) { return out << c.name; }


const PacketCase kCases[] = {
    {"H264Mp4BFrames", "h264.mp4", "libx264",
     "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v libx264 -bf 2 -g 8", "v:0"},
    {"AacMp4", "aac.mp4", "aac", "-f lavfi -i sine=duration=0.8:sample_rate=48000 -ac 2 -c:a aac", "a:0"},
    {"H264Mov2997", "h264.mov", "libx264",
     "-f lavfi -i testsrc=size=64x48:rate=30000/1001:duration=0.6 -c:v libx264 -bf 3 -g 6", "v:0"},
    {"MjpegMov", "mjpeg.mov", "mjpeg", "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v mjpeg", "v:0"},
    {"Mpeg4Mp4", "mpeg4.mp4", "mpeg4",
     "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v mpeg4 -bf 1 -g 5", "v:0"},
    {"ProResMovWithAudio", "prores.mov", "prores_ks",
     "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -f lavfi -i sine=duration=0.4 -c:v prores_ks "
     "-profile:v 0 -c:a pcm_s16le",
     "v:0"},
};

class SamplesAgreeWithFFprobe : public ::testing::TestWithParam<PacketCase> {
 protected:
  void SetUp() override {
    const PacketCase& c = GetParam();
    if (!HasEncoder(c.encoder)) GTEST_SKIP() << "ffmpeg without " << c.encoder;
    m_Path = m_Dir.file(c.file);
    MakeMediaFixture(c.arguments, m_Path);
  }

  std::string Options() const { return std::string(GetParam().stream)[0] == 'a' ? "--audio " : ""; }

  TempDir m_Dir;
  std::string m_Path;
};

TEST_P(SamplesAgreeWithFFprobe, PacketForPacketWithMd5) {
  const ProbeResult probe = ProbeFile(m_Path, true);
  const ProbeStream& stream = probe.Stream(GetParam().stream);
  const std::vector<ProbePacket>& packets = probe.Packets(GetParam().stream);
  const CommandResult r = RunProbe("--samples --md5 --json " + Options() + ShellQuote(m_Path));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  const std::vector<nlohmann::json> samples = JsonLines(r.output);
  ASSERT_EQ(samples.size(), packets.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    const nlohmann::json& s = samples[i];
    const ProbePacket& p = packets[i];
    SCOPED_TRACE("sample " + std::to_string(i));
    const double halfFrame = InSeconds(p.duration.value_or(0), stream) / 2;
    EXPECT_EQ(s["index"], i);
    EXPECT_EQ(s["size"], p.size);
    EXPECT_EQ(s["offset"], p.pos.value_or(0));
    EXPECT_EQ("MD5:" + s["md5"].get<std::string>(), p.dataHash);
    EXPECT_EQ(s["sync"], p.IsKey());
    EXPECT_NEAR(s["time"].get<double>(), InSeconds(p.pts.value_or(0), stream), halfFrame);
    EXPECT_NEAR(s["decode_time"].get<double>(), InSeconds(p.dts.value_or(0), stream), halfFrame);
  }
}

TEST_P(SamplesAgreeWithFFprobe, ReverseListsTheSameSamplesBackwards) {
  const CommandResult forward = RunProbe("--samples --json " + Options() + ShellQuote(m_Path));
  const CommandResult backward = RunProbe("--samples --reverse --json " + Options() + ShellQuote(m_Path));
  ASSERT_EQ(forward.exitCode, 0) << forward.errors;
  ASSERT_EQ(backward.exitCode, 0) << backward.errors;
  std::vector<nlohmann::json> reversed = JsonLines(backward.output);
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(reversed, JsonLines(forward.output));
  EXPECT_FALSE(reversed.empty());
}

INSTANTIATE_TEST_SUITE_P(FFmpegFiles, SamplesAgreeWithFFprobe, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PacketCase>& info) { return info.param.name; });

TEST(SamplesAsText, OneRowPerSampleUnderAHeader) {
  const ProbeResult probe = ProbeFile(BundledSample(), true);
  const std::vector<ProbePacket>& packets = probe.Packets("v:0");
  const CommandResult r = RunProbe("--samples --md5 " + ShellQuote(BundledSample()));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::istringstream lines(r.output);
  std::string header, row;
  std::getline(lines, header);
  EXPECT_NE(header.find("decode_time"), std::string::npos);
  size_t rows = 0;
  while (std::getline(lines, row)) {
    ASSERT_LT(rows, packets.size());
    EXPECT_NE(row.find(packets[rows].dataHash.substr(4)), std::string::npos) << row;
    ++rows;
  }
  EXPECT_EQ(rows, packets.size());
}

}  // namespace
}  // namespace oxltest
