#include "support/ImxFixtures.h"

#include <sstream>


namespace oxltest {

namespace {

const std::string kAudio = "-f lavfi -i sine=sample_rate=48000 -c:a pcm_s16le -ac 2 ";

std::string Avci(int avcClass) {
  const bool c50 = avcClass == 50;
  std::ostringstream s;
  s << "-f lavfi -i testsrc=size=" << (c50 ? "1440x1080" : "1920x1080") << ":rate=25 " << kAudio
    << "-t 0.2 -pix_fmt " << (c50 ? "yuv420p10le" : "yuv422p10le") << " -c:v libx264 -avcintra-class " << avcClass
    << (c50 ? " -flags +ildct -x264opts interlaced=1:tff=1" : "") << " -f mxf";
  return s.str();
}

std::string Dv(bool dv50, bool audio) {
  return std::string("-f lavfi -i testsrc=size=720x576:rate=25 ") + (audio ? kAudio : "") + "-t 0.32 -c:v dvvideo " +
         (dv50 ? "-pix_fmt yuv422p" : "-pix_fmt yuv420p") + " -f mxf";
}

}  // namespace

// The encoder rounds a CBR frame up to whole bytes, the D-10 muxer expects the
// nominal rate's size rounded down; at 29.97 a minimum rate just under the nominal
// one makes them agree, which FFmpeg accepts only at 30 Mbit/s (40, 50: a byte off).
std::string D10Args(int mbps, bool ntsc, bool audio, double seconds) {
  const long rate = mbps * 1000000L;
  const long frameBits = ntsc ? rate * 1001 / 30000 : rate / 25;
  std::ostringstream s;
  s << "-f lavfi -i testsrc=size=" << (ntsc ? "720x486:rate=30000/1001 " : "720x576:rate=25 ") << (audio ? kAudio : "")
    << "-t " << seconds
    << " -c:v mpeg2video -pix_fmt yuv422p -g 1 -bf 0 -flags +ildct+low_delay -dc 10 -intra_vlc 1 "
       "-non_linear_quant 1 -ps 1 -qmin 1 -qmax 3 "
    << (ntsc ? "-top 0 -vf pad=720:512:0:26 " : "-top 1 -vf pad=720:608:0:32 ") << "-b:v " << rate << " -minrate "
    << rate << " -maxrate " << rate << " -bufsize " << frameBits << " -rc_init_occupancy " << frameBits
    << " -aspect " << (mbps == 50 ? "16:9" : "4:3") << " -f mxf_d10";
  return s.str();
}

const std::vector<ImxCase>& ImxCases() {
  static const std::vector<ImxCase> cases = {
      {"imx30_pal_audio.mxf", D10Args(30, false, true, 1.2), 6},
      {"imx40_pal.mxf", D10Args(40, false, false, 0.4), 7},
      {"imx50_pal.mxf", D10Args(50, false, false, 0.4), 8},
      {"imx30_ntsc_audio.mxf", D10Args(30, true, true, 0.4), 6, false, 59.94},
      {"avci100_1080p25_audio.mxf", Avci(100), 23, true},
      {"avci50_1080i25_audio.mxf", Avci(50), 31, true},
      {"dv25_pal_audio.mxf", Dv(false, true), 3},
      {"dv50_pal.mxf", Dv(true, false), 5},
  };
  return cases;
}

std::string ImxCaseName(const ::testing::TestParamInfo<ImxCase>& info) {
  const std::string name = info.param.name;
  return name.substr(0, name.find('.'));
}

void ImxCaseTest::SetUp() {
  if (!HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const ImxCase& c = GetParam();
  if (c.needsX264 && !FindMediaFixture(c.name, {c.args}) && !HasEncoder("libx264")) GTEST_SKIP() << "no libx264";
  fixture = &GetMediaFixture(c.name, {c.args});
  packets = VideoPackets(*fixture);
}

const MediaFixture& D10Fixture() { return GetMediaFixture("imx50_pal_audio_1s.mxf", {D10Args(50, false, true, 1.2)}); }

std::vector<DeliveredFrame> ReadAll(COXLDataReader& reader, unsigned int capacity, bool backwards, int* last) {
  std::vector<DeliveredFrame> frames;
  std::string buffer(capacity, '\0');
  for (;;) {
    unsigned char* data = capacity ? reinterpret_cast<unsigned char*>(buffer.data()) : nullptr;
    unsigned int size = 0;
    double time = 0;
    const int result = backwards ? reader.GetPrevData(data, capacity, &size, &time)
                                 : reader.GetNextData(data, capacity, &size, &time);
    if (result != 0) {
      if (last) *last = result;
      return frames;
    }
    frames.push_back({std::string(reinterpret_cast<const char*>(data), size), time});
  }
}

std::vector<std::pair<std::string, double>> VideoPackets(const MediaFixture& fixture) {
  const ProbeStream& stream = fixture.probe.Stream("v:0");
  std::vector<std::pair<std::string, double>> packets;
  for (const ProbePacket& packet : fixture.probe.Packets("v:0")) {
    const double seconds = packet.pts ? double(*packet.pts) * stream.timeBaseNum / stream.timeBaseDen : -1;
    packets.emplace_back(packet.dataHash, seconds);
  }
  return packets;
}

}  // namespace oxltest
