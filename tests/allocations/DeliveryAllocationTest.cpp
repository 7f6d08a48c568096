// Deliveries of the QuickTime and MXF frame readers allocate nothing once the
// first round is made: 10,000 deliveries forwards, backwards and after seeks,
// on intra and long-GOP video, PCM and AAC sound, plain and fragmented movies
// and a D-10 MXF file (with the read-ahead thread on) made by FFmpeg. This
// program replaces the global operator new to count heap allocations, so it
// is a test program of its own; the MXF analysis test at the end uses it to
// see the largest allocation.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "OXLDataReader/IMXVideoReader.h"
#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/QTDatareader.h"
#include "support/ImxFixtures.h"
#include "support/MediaFixtureCache.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

namespace {
std::atomic<bool> g_bCounting{false};
std::atomic<long> g_Allocations{0};
std::atomic<std::size_t> g_Largest{0};
}  // namespace

// GCC takes free() of what these operators return for a mismatch: it is this pair's own malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_bCounting.load(std::memory_order_relaxed)) {
    g_Allocations.fetch_add(1, std::memory_order_relaxed);
    if (size > g_Largest.load(std::memory_order_relaxed)) g_Largest.store(size, std::memory_order_relaxed);
  }
  return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size) {
  if (void* p = operator new(size, std::nothrow)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

const std::string kPicture = "-f lavfi -i testsrc=size=64x48:rate=25 ";
const std::string kTone = "-f lavfi -i sine=frequency=1000:sample_rate=48000 ";
const unsigned int kBufferSize = 4 << 20;  // larger than any delivery of these movies

struct Material {
  const char *name, *file, *encoder;
  std::string steps;
  OXLDataReader::DataType type;
  bool mxf = false;  // read by CIMXVideoReader, not CQTDataReader
};

const Material kMaterials[] = {
    {"Mjpeg", "alloc_mjpeg_pcm.mov", "mjpeg", kPicture + kTone + "-t 8 -c:v mjpeg -q:v 31 -pix_fmt yuvj420p -c:a pcm_s16le", OXLDataReader::Video_Data},
    {"Pcm", "alloc_mjpeg_pcm.mov", "mjpeg", kPicture + kTone + "-t 8 -c:v mjpeg -q:v 31 -pix_fmt yuvj420p -c:a pcm_s16le", OXLDataReader::Audio_Data},
    {"H264LongGop", "alloc_h264_aac.mov", "libx264", kPicture + kTone + "-t 8 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac", OXLDataReader::Video_Data},
    {"Aac", "alloc_h264_aac.mov", "libx264", kPicture + kTone + "-t 8 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac", OXLDataReader::Audio_Data},
    // Fragments found through the random-access table, read when first reached.
    {"H264Fragments", "alloc_h264_frag.mp4", "libx264", kPicture + "-t 8 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -movflags frag_keyframe+empty_moov", OXLDataReader::Video_Data},
    // 30 edit units of 312,832 bytes: more than the reader's window, so read-ahead passes run.
    {"D10Mxf", "imx50_pal_audio_1s.mxf", "mpeg2video", oxltest::D10Args(50, false, true, 1.2), OXLDataReader::Video_Data, true},
};

void PrintTo(const Material& m, std::ostream* os) { *os << m.name; }

std::unique_ptr<COXLDataReader> MakeReader(const Material& m) {
  if (m.mxf) return std::make_unique<CIMXVideoReader>("allocations");
  return std::make_unique<CQTDataReader>(m.type, "allocations");
}

// The stream's end in seconds, from its packets' times.
double StreamSeconds(const oxltest::ProbeResult& probe, const std::string& stream) {
  const oxltest::ProbeStream& s = probe.Stream(stream);
  int64_t end = 0;
  for (const oxltest::ProbePacket& p : probe.Packets(stream)) end = std::max(end, p.pts.value_or(0) + p.duration.value_or(0));
  return double(end) * double(s.timeBaseNum) / double(s.timeBaseDen);
}

class DeliveryAllocationTest : public testing::TestWithParam<Material> {};

// A round: a pass forwards from the start, one backwards from the end (each
// to the end of the data, 100), and 20 seeks, each followed by up to three
// deliveries forwards. The first round makes what the reader keeps (saved
// cursors, fragment indexes, lookup checkpoints); later rounds allocate nothing.
TEST_P(DeliveryAllocationTest, NoAllocationAfterTheFirstRound) {
  const Material& m = GetParam();
  if (!oxltest::HasEncoder(m.encoder) || !oxltest::HasEncoder("aac")) GTEST_SKIP() << "ffmpeg lacks " << m.encoder;
  const oxltest::MediaFixture& fixture = oxltest::GetMediaFixture(m.file, {m.steps});
  std::unique_ptr<COXLDataReader> owner = MakeReader(m);
  COXLDataReader& reader = *owner;
  ASSERT_EQ(0, reader.Open(fixture.path.c_str(), false));
  const std::string stream = m.type == OXLDataReader::Video_Data ? "v:0" : "a:0";
  // Bytes of the stream's packets, and of those played from time 0 on (AAC's priming packet comes before).
  uint64_t allBytes = 0, playedBytes = 0;
  for (const oxltest::ProbePacket& p : fixture.probe.Packets(stream)) {
    allBytes += p.size;
    playedBytes += !p.pts || *p.pts >= 0 ? p.size : 0;
  }
  std::vector<unsigned char> buffer(kBufferSize);
  long allocations = 0;
  size_t deliveries = 0;
  unsigned int seed = 12345;
  const auto deliver = [&](bool forward, unsigned int& size, double& time) {
    unsigned char* data = buffer.data();
    const long before = g_Allocations.load();
    g_bCounting = true;
    const int result = forward ? reader.GetNextData(data, kBufferSize, &size, &time)
                               : reader.GetPrevData(data, kBufferSize, &size, &time);
    g_bCounting = false;
    allocations += g_Allocations.load() - before;
    deliveries += result == 0;
    return result;
  };
  const auto pass = [&](bool forward) {
    uint64_t bytes = 0;
    unsigned int size = 0;
    double time = 0;
    for (int result; (result = deliver(forward, size, time)) != 100; bytes += size)
      if (result != 0) return ~uint64_t(0);
    return bytes;
  };
  const double duration = StreamSeconds(fixture.probe, stream);
  for (int round = 0; round == 0 || deliveries < 10000; ++round) {
    if (round == 1) allocations = deliveries = 0;
    ASSERT_EQ(0, reader.GoToDataStart());
    ASSERT_EQ(playedBytes, pass(true));
    ASSERT_EQ(0, reader.GoToDataEnd());
    ASSERT_EQ(allBytes, pass(false));
    for (int seek = 0; seek < 20; ++seek) {
      seed = seed * 1103515245u + 12345u;
      double target = duration * 0.95 * double(seed >> 8) / double(1u << 24);
      ASSERT_EQ(0, reader.GoToTimeOffset(target));
      for (int read = 0; read < 3; ++read) {
        unsigned int size = 0;
        double time = -1;
        const int result = deliver(true, size, time);
        if (read > 0 && result == 100) break;  // the end of the data
        ASSERT_EQ(0, result) << "seek to " << target;
        if (read == 0) {
          EXPECT_NEAR(target, time, 1.0) << "the first delivery after the seek";
        }
      }
    }
  }
  EXPECT_EQ(0, allocations) << "in " << deliveries << " deliveries";
}

INSTANTIATE_TEST_SUITE_P(Materials, DeliveryAllocationTest, testing::ValuesIn(kMaterials),
                         [](const testing::TestParamInfo<Material>& info) { return info.param.name; });

}  // namespace

// A fuzz finding: an index whose edit unit is larger than the file made the
// bitstream analysis allocate a buffer of that size (2.8 GB for a 7 KB file).
TEST(MxfAnalysisAllocation, AnEditUnitLargerThanTheFileIsRefusedUnallocated) {
  using namespace oxltest::mxf;
  FileLayout layout;
  layout.indexItems = LocalSet().item(0x3F05, U32(0xA8A8A8A8u)).str();
  oxltest::TempDir dir;
  CMXFDataReader reader(OXLDataReader::Video_Data, 16384, "allocations");
  ASSERT_EQ(reader.Open(dir.write("huge_unit.mxf", BuildFile(layout).bytes).c_str(), false), 0);
  ASSERT_EQ(reader.GetEditByteCount(), 0xA8A8A8A8u);
  OXLDataReader::VideoDataType type = OXLDataReader::Unknown_Video;
  g_Largest = 0;
  g_bCounting = true;
  const int result = reader.AnalyseBitstream(type);
  g_bCounting = false;
  EXPECT_EQ(result, -1);
  EXPECT_LT(g_Largest.load(), std::size_t(16) << 20);
}
