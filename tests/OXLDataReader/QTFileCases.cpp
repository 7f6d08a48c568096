#include "QTFileCases.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "support/ByteBuilder.h"
#include "support/GrowingFile.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace OXLDataReader;

namespace qtfiles {
namespace {

const char* kTone = "-f lavfi -i sine=frequency=1000:sample_rate=48000 ";
const unsigned int kReadBufferSize = 4 << 20;  // larger than any fixture's frame or GOP

// Interlaced coding with the field order written into the movie.
std::string Interlaced(const std::string& order) { return "-vf setfield=" + order + " -flags +ildct+ilme "; }

// Picture and tone at a rate, then the codec options.
std::string Av(const std::string& size, const std::string& rate, bool tone, const std::string& rest) {
  return "-f lavfi -i testsrc=size=" + size + ":rate=" + rate + " " + (tone ? kTone : "") + rest;
}

std::vector<QtFileCase> MakeCases() {
  const std::string intra264 =
      Av("1920x1080", "25", false, "-t 0.08 -c:v libx264 -pix_fmt yuv422p10le -x264-params avcintra-class=100 -f h264");
  const std::string x264 = "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p ";
  const char* ntsc = "30000/1001";
  const char* ntsc60 = "60000/1001";
  return {
      {"prores_proxy_25_twos", {"prores_ks", "pcm_s16be"},
       {Av("64x48", "25", true, "-t 0.24 -c:v prores_ks -profile:v 0 -c:a pcm_s16be -timecode 10:00:00:00")},
       "apco", ProResProxy_Video, false, "twos"},
      {"prores_lt_2997i_sowt", {"prores_ks", "pcm_s16le"},
       {Av("64x48", ntsc, true, Interlaced("tff") + "-t 0.2 -c:v prores_ks -profile:v 1 -c:a pcm_s16le -timecode '01:00:00;02'")},
       "apcs", ProResLT_Video, false, "sowt"},
      // 96 kHz sound needs a version-2 description, for which FFmpeg writes "lpcm".
      {"prores_hq_5994_lpcm", {"prores_ks", "pcm_s16le"},
       {Av("64x48", ntsc60, false, "-f lavfi -i sine=frequency=1000:sample_rate=96000 -t 0.15 -c:v prores_ks "
                                   "-profile:v 3 -c:a pcm_s16le -timecode '10:00:00;00'")},
       "apch", ProResHigh_Video, false, "lpcm"},
      {"dv25_pal_169", {"dvvideo", "pcm_s16be"},
       {Av("720x576", "25", true, Interlaced("bff") + "-t 0.2 -aspect 16:9 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16be "
                                                      "-timecode 10:00:00:00")},
       "dvcp", DV25_Video, false, "twos"},
      {"dv25_ntsc_43", {"dvvideo"},
       {Av("720x480", ntsc, false, "-t 0.17 -aspect 4:3 -c:v dvvideo -pix_fmt yuv411p -timecode '01:00:00;02'")},
       "dvc ", DV25_Video, false, ""},
      {"dvcpro50_pal", {"dvvideo", "pcm_s16le"},
       {Av("720x576", "25", true, "-t 0.16 -c:v dvvideo -pix_fmt yuv422p -c:a pcm_s16le")}, "dv5p", DVCPro50_Video,
       false, "sowt"},
      {"dvcprohd_1080i50", {"dvvideo"},
       {Av("1440x1080", "25", false, Interlaced("tff") + "-t 0.12 -c:v dvvideo -pix_fmt yuv422p")}, "dvh5",
       DVCPro100_Video, false, ""},
      {"dvcprohd_720p50", {"dvvideo"},
       {Av("960x720", "50", false, "-t 0.1 -c:v dvvideo -pix_fmt yuv422p -timecode 10:00:00:00")}, "dvhq",
       DVCPro720P_Video, false, ""},
      // VC-3 frame sizes: 606208 bytes for 120/145 Mb/s 1080 lines, 917504 for the 185/220 Mb/s class.
      {"dnxhd_1080_25", {"dnxhd"}, {Av("1920x1080", "25", false, "-t 0.12 -c:v dnxhd -b:v 120M -pix_fmt yuv422p")},
       "AVdn", DNxHD_Video, false, ""},
      // Two sound tracks: mono 16-bit at 48 kHz, stereo 24-bit at 44.1 kHz.
      {"dnxhd_1080_2997_high", {"dnxhd", "pcm_s16be", "pcm_s24be"},
       {Av("1920x1080", ntsc, true, "-f lavfi -i sine=frequency=500:sample_rate=44100 -map 0 -map 1 -map 2 -t 0.1 "
                                    "-c:v dnxhd -b:v 220M -pix_fmt yuv422p -c:a:0 pcm_s16be -c:a:1 pcm_s24be -ac:a:1 2")},
       "AVdn", DNxHDHigh_Video, false, "twos"},
      // D-10 codes 608 lines; the movie describes the 576 of the picture.
      {"imx50_25", {"mpeg2video", "pcm_s24be"},
       {Av("720x608", "25", true,
           Interlaced("tff") + "-t 0.16 -c:v mpeg2video -vtag mx5p -pix_fmt yuv422p -g 1 -b:v 50M -minrate 50M "
                               "-maxrate 50M -bufsize 2000000 -rc_init_occupancy 2000000 -intra_vlc 1 "
                               "-non_linear_quant 1 -qmin 1 -qmax 12 -dc 10 -c:a pcm_s24be -timecode 10:00:00:00")},
       "mx5p", IMX50_Video, false, "in24", false, 576},
      // 2000 frames: a movie atom larger than the reader's first window, many
      // chunks, and sound chunks that do not line up with the frames.
      {"mjpeg_50_long_s16le", {"mjpeg", "pcm_s16le"},
       {Av("64x48", "50", false, "-f lavfi -i sine=frequency=1000:sample_rate=44100 -t 40 -c:v mjpeg -q:v 31 "
                                 "-pix_fmt yuvj420p -c:a pcm_s16le")},
       "jpeg", MjpegFrame_Video, false, "sowt"},
      // Key frames every 12 frames, delta frames between them.
      {"qtrle_50_in24", {"qtrle", "pcm_s24be"},
       {Av("64x48", "50", true, "-t 0.3 -c:v qtrle -pix_fmt rgb24 -g 12 -c:a pcm_s24be")}, "rle ", RLE_Graphical,
       false, "in24"},
      {"h264_25_aac", {"libx264", "aac"}, {Av("64x48", "25", true, "-t 1.2 " + x264 + "-c:a aac -timecode 10:00:00:00")},
       "avc1", H264_Video, true, "mp4a"},
      // An MP4 file with its movie atom before the media data.
      {"h264_50_aac_mp4", {"libx264", "aac"}, {Av("64x48", "50", true, "-t 0.6 " + x264 + "-c:a aac -movflags +faststart")},
       "avc1", H264_Video, true, "mp4a", false, 0, "mp4"},
      // XDCAM HD422 long GOP: open GOPs, whose I pictures after the first
      // are partial sync samples. Not intra, yet read frame by frame (HDV family).
      {"xdcamhd422_1080i50_open_gop", {"mpeg2video"},
       {Av("1920x1080", "25", false, Interlaced("tff") + "-t 0.6 -c:v mpeg2video -vtag xd5c -pix_fmt yuv422p -g 6 "
                                                        "-bf 2 -b:v 8M -timecode 10:00:00:00")},
       "xd5c", HDV_Video, false, ""},
      // Fragments found through the random-access table, by a scan (no
      // table) with the fragment as data base, through segment indexes, and
      // fragments that start on frames that are not sync.
      {"h264_25_frag_mfra", {"libx264"}, {Av("64x48", "25", false, "-t 1.5 " + x264 + "-movflags frag_keyframe+empty_moov")},
       "avc1", H264_Video, true, "", false, 0, "mp4", true},
      {"h264_25_frag_scan_base_moof", {"libx264"},
       {Av("64x48", "25", false, "-t 1.5 " + x264 + "-movflags frag_keyframe+empty_moov+default_base_moof+skip_trailer")},
       "avc1", H264_Video, true, "", false, 0, "mp4", true},
      {"h264_50_dash", {"libx264"}, {Av("64x48", "50", false, "-t 1 " + x264 + "-movflags +dash")}, "avc1", H264_Video,
       true, "", false, 0, "mp4", true},
      {"h264_25_frag_duration_mov", {"libx264"},
       {Av("64x48", "25", false, "-t 1.5 " + x264 + "-frag_duration 0.2 -movflags empty_moov")}, "avc1", H264_Video,
       true, "", false, 0, "mov", true},
      // x264 writes AVC-Intra only into a raw stream; it is then put into a
      // movie under the 1080p25 class-100 tag.
      {"avcintra100_1080p25", {"libx264"}, {intra264, "-r 25 -f h264 -i {prev} -c copy -tag:v ai12"}, "ai12", AVC_I_100,
       false, "", true},
  };
}

// A fixture's bytes, read once per process.
const std::string& WholeFile(const std::string& path) {
  static std::map<std::string, std::string> files;
  std::string& bytes = files[path];
  if (bytes.empty()) bytes = ReadWholeFile(path);
  return bytes;
}

std::vector<Delivery> Read(COXLDataReader& reader, size_t limit, bool forward, int* last) {
  // One buffer for every read: allocating megabytes per read is slow under the address sanitizer.
  static std::vector<unsigned char> buffer(kReadBufferSize);
  std::vector<Delivery> deliveries;
  while (deliveries.size() <= limit) {
    unsigned char* data = buffer.data();
    unsigned int size = 0;
    double time = -1.0;
    const int result = forward ? reader.GetNextData(data, kReadBufferSize, &size, &time)
                               : reader.GetPrevData(data, kReadBufferSize, &size, &time);
    if (last) *last = result;
    if (result != 0 && (last || result == 100)) break;
    EXPECT_EQ(result, 0) << "after " << deliveries.size() << " deliveries";
    if (result != 0) break;
    deliveries.push_back({std::string(reinterpret_cast<const char*>(data), size), time});
  }
  return deliveries;
}

}  // namespace

void PrintTo(const QtFileCase& c, std::ostream* os) { *os << c.name; }

const std::vector<QtFileCase>& AllCases() {
  static const std::vector<QtFileCase> cases = MakeCases();
  return cases;
}

const oxltest::MediaFixture* CaseFixture(const QtFileCase& c) {
  try {
    return &oxltest::GetMediaFixture(c.name + "." + c.container, c.steps);
  } catch (const std::exception& e) {
    if (!c.mayBeUnsupported) ADD_FAILURE() << c.name << ": " << e.what();
    return nullptr;
  }
}

std::string CaseName(const testing::TestParamInfo<QtFileCase>& info) { return info.param.name; }

double Seconds(int64_t ticks, const ProbeStream& stream) {
  return double(ticks) * double(stream.timeBaseNum) / double(stream.timeBaseDen);
}

std::string PacketBytes(const MediaFixture& fixture, const ProbePacket& packet) {
  const std::string& file = WholeFile(fixture.path);
  const uint64_t pos = packet.pos.value_or(0);
  if (pos > file.size() || packet.size > file.size() - pos) throw std::runtime_error("packet beyond the file's end");
  return file.substr(pos, packet.size);
}

std::vector<ExpectedDelivery> ExpectedVideoDeliveries(const MediaFixture& fixture, bool longGop, bool syncOnly) {
  const ProbeStream& video = fixture.probe.Stream("v:0");
  const std::vector<ProbePacket>& packets = fixture.probe.Packets("v:0");
  std::vector<ExpectedDelivery> deliveries;
  for (size_t i = 0; i < packets.size(); ++i) {
    if (longGop && !packets[i].IsKey()) {
      if (deliveries.empty()) throw std::runtime_error("long GOP stream starts without a key frame");
      ++deliveries.back().count;
      continue;
    }
    ExpectedDelivery d;
    d.first = i;
    d.md5 = packets[i].dataHash;
    d.pts = Seconds(packets[i].pts.value_or(0), video);
    d.dts = Seconds(packets[i].dts.value_or(0), video);
    deliveries.push_back(d);
  }
  for (auto& d : deliveries) {
    for (size_t i = d.first; i < d.first + d.count; ++i)
      d.bytes += PacketBytes(fixture, packets[i]);
    if (d.count > 1) d.md5 = Md5Hash(d.bytes);
  }
  if (syncOnly)
    deliveries.erase(std::remove_if(deliveries.begin(), deliveries.end(), [&](auto& d) { return !packets[d.first].IsKey(); }),
                     deliveries.end());
  return deliveries;
}

std::vector<Delivery> ReadForward(COXLDataReader& reader, size_t limit, int* last) {
  return Read(reader, limit, true, last);
}
std::vector<Delivery> ReadBackward(COXLDataReader& reader, size_t limit, int* last) {
  return Read(reader, limit, false, last);
}

std::string Joined(const std::vector<Delivery>& deliveries) {
  std::string bytes;
  for (const auto& d : deliveries) bytes += d.bytes;
  return bytes;
}

std::unique_ptr<CQTDataReader> OpenBytes(const std::string& bytes, int* opened, OXLDataReader::DataType type) {
  static const TempDir dir;
  static int files = 0;
  auto reader = std::make_unique<CQTDataReader>(type, "bytes");
  const int result = reader->Open(dir.write("movie" + std::to_string(++files) + ".mov", bytes).c_str(), false);
  if (opened) *opened = result;
  else EXPECT_EQ(result, 0);
  return reader;
}

uint32_t Get32(const std::string& bytes, size_t at) { return QTUtils::Read32(Data(bytes) + at); }
void Put32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (24 - 8 * i));
}

}  // namespace qtfiles
