// The MXF reader on files FFmpeg makes: OP1a with DV, D-10/IMX, MPEG-2 long
// GOP and DNxHD essence, the D-10 and OP-Atom muxers, timecodes at 25,
// 29.97 (drop and non-drop) and 50 frames per second. Timing is compared
// with ffprobe, partitions with a walk of the file's KLVs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "OXLDataReader/MXFDataReader.h"
#include "support/FFmpegTools.h"
#include "support/MediaFixtureCache.h"
#include "support/MxfWriter.h"

namespace {

struct MxfCase {
  const char* name;
  std::string args;
  unsigned int expectedType;  // video data type of the picture descriptor, 0 when the table has none
  const char* encoder = nullptr;  // an encoder this FFmpeg may lack
};

const std::string kSd25 = "-f lavfi -i testsrc=size=720x576:rate=25 ";
const std::string kAudio = "-f lavfi -i sine=sample_rate=48000 -c:a pcm_s16le -ac 2 ";
const std::string kImx =
    "-c:v mpeg2video -pix_fmt yuv422p -g 1 -bf 0 -flags +ildct+low_delay -dc 10 -intra_vlc 1 -non_linear_quant 1 "
    "-ps 1 -qmin 1 -qmax 3 -top 1 -vf pad=720:608:0:32 ";
std::string Imx(int mbps) {
  const std::string rate = std::to_string(mbps) + "M";
  const std::string buffer = std::to_string(mbps * 40000);
  return kImx + "-b:v " + rate + " -minrate " + rate + " -maxrate " + rate + " -bufsize " + buffer +
         " -rc_init_occupancy " + buffer + " ";
}

const MxfCase kCases[] = {
    {"dv25_pal.mxf", kSd25 + "-t 0.12 -c:v dvvideo -pix_fmt yuv420p -timecode 10:00:00:00 -f mxf", 3},
    {"dv50_pal_audio.mxf", kSd25 + kAudio + "-t 0.08 -c:v dvvideo -pix_fmt yuv422p -timecode 09:59:59:24 -f mxf", 5},
    {"imx30_d10.mxf", kSd25 + kAudio + "-t 0.12 " + Imx(30) + "-f mxf_d10", 6},
    {"imx50_d10.mxf", kSd25 + "-t 0.08 " + Imx(50) + "-f mxf_d10", 8},
    // In OP1a FFmpeg labels the same essence as MPEG-2 422P intra, not D-10.
    {"imx50_op1a.mxf", kSd25 + "-t 0.12 " + Imx(50) + "-timecode 00:59:59:00 -f mxf", 0},
    {"mpeg2_ntsc_drop.mxf",
     "-f lavfi -i testsrc=size=720x480:rate=30000/1001 " + kAudio +
         "-t 0.4 -c:v mpeg2video -g 6 -timecode 01:00:59\\;29 -f mxf", 0},
    {"mpeg2_ntsc_nondrop.mxf",
     "-f lavfi -i testsrc=size=720x480:rate=30000/1001 -t 0.3 -c:v mpeg2video -g 6 -timecode 01:00:00:00 -f mxf", 0},
    {"mpeg2_50p.mxf",
     "-f lavfi -i testsrc=size=320x240:rate=50 -t 0.2 -c:v mpeg2video -g 5 -timecode 11:22:33:44 -f mxf", 0},
    {"dnxhd_opatom.mxf",
     "-f lavfi -i testsrc=size=1280x720:rate=50 -t 0.04 -c:v dnxhd -b:v 90M -pix_fmt yuv422p -timecode 02:00:00:10 "
     "-f mxf_opatom", 15},  // 720p 90 Mb/s is DNxHD CID 1251, label 71.11
    {"avci100_1080p25.mxf",
     "-f lavfi -i testsrc=size=1920x1080:rate=25 -t 0.04 -pix_fmt yuv422p10le -c:v libx264 -avcintra-class 100 "
     "-timecode 23:59:59:24 -f mxf", 23, "libx264"},
    {"avci50_1080i25.mxf",
     "-f lavfi -i testsrc=size=1440x1080:rate=25 -t 0.04 -pix_fmt yuv420p10le -c:v libx264 -avcintra-class 50 "
     "-flags +ildct -x264opts interlaced=1:tff=1 -f mxf", 31, "libx264"},
};

// What ffprobe reports for the video stream and the file.
struct ProbeView {
  std::string rate;  // r_frame_rate
  long frames = 0;
  int width = 0, height = 0;
  std::string codec;
  std::string timecode;
};

// ffprobe's text for the fixture, kept beside it: every test of a case
// runs in a process of its own, and the fixture never changes.
std::string ProbeText(const std::string& path) {
  const std::string cache = path + ".view";
  std::ifstream in(cache);
  if (in) return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto result = oxltest::RunCommand(
      "ffprobe -v error -select_streams v:0 -count_packets -show_entries "
      "stream=codec_name,r_frame_rate,nb_read_packets,width,height:format_tags=timecode -of default=nw=1 " +
      oxltest::ShellQuote(path));
  if (result.exitCode != 0) return result.output;
  const std::string temporary = cache + "." + std::to_string(::getpid());
  std::ofstream(temporary) << result.output;
  std::rename(temporary.c_str(), cache.c_str());
  return result.output;
}

ProbeView Probe(const std::string& path) {
  ProbeView view;
  std::istringstream lines(ProbeText(path));
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "r_frame_rate") view.rate = value;
    if (key == "nb_read_packets") view.frames = std::stol(value);
    if (key == "width") view.width = std::stoi(value);
    if (key == "height") view.height = std::stoi(value);
    if (key == "codec_name") view.codec = value;
    if (key == "TAG:timecode") view.timecode = value;
  }
  return view;
}

double RateOf(const std::string& text) {
  unsigned long num = 0, den = 1;
  std::sscanf(text.c_str(), "%lu/%lu", &num, &den);
  return den ? double(num) / den : 0;
}

class MxfFileTest : public ::testing::TestWithParam<MxfCase> {
 protected:
  void SetUp() override {
    if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const MxfCase& c = GetParam();
    if (c.encoder && !oxltest::FindMediaFixture(c.name, {c.args}) && !oxltest::HasEncoder(c.encoder))
      GTEST_SKIP() << "ffmpeg has no " << c.encoder;
    path = oxltest::GetMediaFixture(c.name, {c.args}).path;
    probe = Probe(path);
    ASSERT_EQ(reader.Open(path.c_str(), false), 0);
  }
  std::string path;
  ProbeView probe;
  CMXFDataReader reader{OXLDataReader::Video_Data, 65536, "mxf-test"};
};

TEST_P(MxfFileTest, TimingAgreesWithFFprobe) {
  const double rate = RateOf(probe.rate);
  EXPECT_DOUBLE_EQ(reader.GetEditRate(), std::floor(rate * 100) / 100);
  EXPECT_EQ(reader.GetDuration(), probe.frames);
  const unsigned int fieldsPerFrame = rate > 40 ? 1 : 2;
  EXPECT_EQ(reader.GetFieldsPerFrame(), fieldsPerFrame);
  EXPECT_DOUBLE_EQ(reader.GetFieldRate(), reader.GetEditRate() * fieldsPerFrame);

  unsigned short h = 0, m = 0, s = 0, f = 0;
  ASSERT_TRUE(reader.GetStartTimeCode().GetHMSF(h, m, s, f));
  char text[40];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u:%02u", h, m, s, f);
  std::string expected = probe.timecode.empty() ? "00:00:00:00" : probe.timecode;
  std::replace(expected.begin(), expected.end(), ';', ':');
  EXPECT_EQ(text, expected);

  // The timecode's own system: its rounded base and drop-frame mark.
  const long base = std::lround(rate);
  const bool drop = probe.timecode.find(';') != std::string::npos;
  const OxlTbx::VideoSystem system = base == 25   ? OxlTbx::VS_PAL
                                     : base == 50 ? OxlTbx::VS_FieldPAL
                                     : base == 30 ? (drop ? OxlTbx::VS_NTSCDrop : OxlTbx::VS_NTSCNoDrop)
                                                  : (drop ? OxlTbx::VS_FieldNTSCDrop : OxlTbx::VS_FieldNTSCNoDrop);
  EXPECT_EQ(reader.GetTimecodeSystem(), system);
  EXPECT_EQ(reader.IsDropFrame(), drop);
}

TEST_P(MxfFileTest, TracksOfTheMaterialPackage) {
  const bool audio = std::string(GetParam().args).find("sine") != std::string::npos;
  int picture = 0, sound = 0, timecode = 0;
  for (const auto& track : reader.GetMaterialPackage().m_Tracks) {
    picture += track.m_Kind == Oxl_Mxf::Track_Picture;
    sound += track.m_Kind == Oxl_Mxf::Track_Sound;
    timecode += track.m_Kind == Oxl_Mxf::Track_Timecode;
  }
  EXPECT_EQ(picture, 1);
  EXPECT_EQ(sound > 0, audio);
  EXPECT_EQ(timecode, 1);
}

TEST_P(MxfFileTest, InAndOutSpanTheMaterialInFields) {
  unsigned int in = 0, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(system, reader.GetVideoSystem());
  EXPECT_EQ(in, reader.GetStartTimeCode().GetFields());
  // Fields of the material: frames x fields per frame, at the system's nominal rate.
  const double seconds = probe.frames / RateOf(probe.rate);
  EXPECT_EQ(out - in, static_cast<unsigned int>(std::lround(seconds / CTimeCode::GetFieldTime(reader.GetVideoSystem()))));
  EXPECT_EQ(reader.GetInOut(&in, &out, nullptr), 1);
}

TEST_P(MxfFileTest, PartitionsAreThoseOfTheFile) {
  std::vector<uint64_t> found;
  for (const auto& partition : reader.GetPartitions()) found.push_back(partition->m_KeyOffset);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(found, oxltest::mxf::PartitionPackOffsets(bytes));
  ASSERT_FALSE(reader.GetPartitions().empty());
  EXPECT_EQ(reader.GetPartitions().front(), reader.GetHeaderPartition());
  EXPECT_EQ(reader.GetPartitions().back()->m_NextPartition, -1);
  EXPECT_FALSE(reader.GetDataClips().empty());
  EXPECT_EQ(reader.GoToDataStart(), 0);
  EXPECT_EQ(reader.GetBufferFileOffset() + (reader.GetBufferDataSize() - reader.GetAvailableBytes()),
            reader.GetDataClips().front().start);
}

TEST_P(MxfFileTest, PictureDescriptorGivesTheVideoInformation) {
  std::string descriptor = reader.GetPictureDescriptor();
  ASSERT_FALSE(descriptor.empty());
  OXLDataReader::VIDEO_INFO info{};
  const bool known = reader.GetCDCIVideoInfo(reinterpret_cast<unsigned char*>(descriptor.data()),
                                             static_cast<unsigned int>(descriptor.size()), info);
  // The descriptor's stored size; for H.264 it covers whole 16-line macroblocks.
  const int stored = probe.codec == "h264" ? (probe.height + 15) / 16 * 16 : probe.height;
  EXPECT_EQ(info.Width, static_cast<uint32_t>(probe.width));
  EXPECT_EQ(info.Height, static_cast<uint32_t>(stored));
  if (GetParam().expectedType == 0) return;
  ASSERT_TRUE(known);
  EXPECT_EQ(static_cast<unsigned int>(info.VideoType), GetParam().expectedType);
  const double rate = RateOf(probe.rate);
  EXPECT_EQ(info.EditRate, qel::EditRate(static_cast<uint32_t>(std::lround(rate * 1000)), 1000));
  // AVC-Intra types would be refined by the camera's metadata, which FFmpeg does not write.
  OXLDataReader::VideoDataType type = info.VideoType;
  if (CMXFDataReader::MetadataAnalysisIsRequired(type)) {
    EXPECT_EQ(reader.AnalyzeMetadata(type), -1);
    EXPECT_EQ(type, info.VideoType);
  }
}

TEST_P(MxfFileTest, NoDescriptiveMetadataInFFmpegFiles) { EXPECT_TRUE(reader.GetMetadataList().empty()); }

INSTANTIATE_TEST_SUITE_P(FFmpeg, MxfFileTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<MxfCase>& info) {
                           std::string name = info.param.name;
                           name = name.substr(0, name.find('.'));
                           return name;
                         });

}  // namespace
