// The MXF reader on files FFmpeg makes: OP1a with DV, D-10/IMX, AVC-Intra,
// MPEG-2 long GOP and DNxHD essence, the D-10 and OP-Atom muxers, timecodes
// at 25, 29.97 (drop and non-drop) and 50 frames per second. Timing and the
// picture are compared with ffprobe, partitions with a walk of the file's KLVs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "OXLDataReader/MXFDataReader.h"
#include "support/FFmpegTools.h"
#include "support/GrowingFile.h"
#include "support/ImxFixtures.h"
#include "support/MxfWriter.h"

namespace {

using oxltest::ImxCase;

// The IMX reader's files (D-10, AVC-Intra, DV) and MPEG-2 long GOP, DNxHD
// OP-Atom and D-10 essence in OP1a (which FFmpeg labels MPEG-2 422P intra:
// no table row, type 0), with timecodes.
std::vector<ImxCase> Cases() {
  std::vector<ImxCase> cases = oxltest::ImxCases();
  std::string op1a = oxltest::D10Args(50, false, false, 0.12);
  op1a.replace(op1a.find("-f mxf_d10"), std::string::npos, "-timecode 00:59:59:00 -f mxf");
  const std::string ntsc = "-f lavfi -i testsrc=size=720x480:rate=30000/1001 ";
  cases.insert(cases.end(),
               {{"imx50_op1a_tc.mxf", op1a, 0},
                {"mpeg2_ntsc_drop.mxf",
                 ntsc + "-f lavfi -i sine=sample_rate=48000 -c:a pcm_s16le -ac 2 -t 0.4 -c:v mpeg2video -g 6 "
                        "-timecode 01:00:59\\;29 -f mxf", 0},
                {"mpeg2_ntsc_nondrop.mxf", ntsc + "-t 0.3 -c:v mpeg2video -g 6 -timecode 01:00:00:00 -f mxf", 0},
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
  EXPECT_EQ(reader.GetTimecodeSystem(), system);
  EXPECT_EQ(reader.IsDropFrame(), drop);

  // In and out span the material in fields at the system's nominal rate.
  unsigned int in = 0, out = 0, videoSystem = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &videoSystem), 0);
  EXPECT_EQ(videoSystem, reader.GetVideoSystem());
  EXPECT_EQ(in, reader.GetStartTimeCode().GetFields());
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
  EXPECT_EQ(picture, 1);
  EXPECT_EQ(sound > 0, GetParam().args.find("sine") != std::string::npos);
  EXPECT_EQ(timecode, 1);
  EXPECT_TRUE(reader.GetMetadataList().empty());  // FFmpeg writes no descriptive metadata

  std::vector<uint64_t> found;
  for (const auto& partition : reader.GetPartitions()) found.push_back(partition->m_KeyOffset);
  EXPECT_EQ(found, oxltest::mxf::PartitionPackOffsets(oxltest::ReadWholeFile(fixture->path)));
  ASSERT_FALSE(reader.GetPartitions().empty());
  EXPECT_EQ(reader.GetPartitions().front(), reader.GetHeaderPartition());
  EXPECT_EQ(reader.GetPartitions().back()->m_NextPartition, -1);
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
  EXPECT_EQ(info.Width, static_cast<uint32_t>(video.width));
  EXPECT_EQ(info.Height, static_cast<uint32_t>(stored));
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

}  // namespace
