// Deliveries of the QuickTime reader allocate nothing once the first one is
// made: 10,000 deliveries forwards, backwards and after seeks, on intra and
// long-GOP video, PCM and AAC sound, plain and fragmented movies made by
// FFmpeg. This program replaces the global operator new to count heap
// allocations, so it is a test program of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "OXLDataReader/QTDatareader.h"
#include "support/FFmpegTools.h"
#include "support/MediaFixtureCache.h"

namespace {
std::atomic<bool> g_bCounting{false};
std::atomic<long> g_Allocations{0};
}  // namespace

// GCC takes free() of what these operators return for a mismatch: it is
// this pair's own malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (g_bCounting.load(std::memory_order_relaxed)) g_Allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_bCounting.load(std::memory_order_relaxed)) g_Allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using oxltest::MediaFixture;
using oxltest::ProbePacket;

const char* kTone = "-f lavfi -i sine=frequency=1000:sample_rate=48000 ";
const char* kPicture = "-f lavfi -i testsrc=size=64x48:rate=25 ";
const size_t kDeliveries = 10000;
const unsigned int kBufferSize = 4 << 20;  // larger than any delivery of these movies

struct Material {
  std::string name, file;
  std::vector<std::string> encoders;
  std::string steps;
  OXLDataReader::DataType type;
  std::string stream;  // ffprobe's name of the delivered stream
};

void PrintTo(const Material& m, std::ostream* os) { *os << m.name; }

const std::string kIntraSteps = std::string(kPicture) + kTone + "-t 8 -c:v mjpeg -q:v 31 -pix_fmt yuvj420p -c:a pcm_s16le";
const std::string kLongGopSteps =
    std::string(kPicture) + kTone + "-t 8 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac";
// Fragments found through the random-access table, read when first reached.
const std::string kFragmentSteps =
    std::string(kPicture) + "-t 8 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -movflags frag_keyframe+empty_moov";

const std::vector<Material> kMaterials = {
    {"Mjpeg", "alloc_mjpeg_pcm.mov", {"mjpeg", "pcm_s16le"}, kIntraSteps, OXLDataReader::Video_Data, "v:0"},
    {"Pcm", "alloc_mjpeg_pcm.mov", {"mjpeg", "pcm_s16le"}, kIntraSteps, OXLDataReader::Audio_Data, "a:0"},
    {"H264LongGop", "alloc_h264_aac.mov", {"libx264", "aac"}, kLongGopSteps, OXLDataReader::Video_Data, "v:0"},
    {"Aac", "alloc_h264_aac.mov", {"libx264", "aac"}, kLongGopSteps, OXLDataReader::Audio_Data, "a:0"},
    {"H264Fragments", "alloc_h264_frag.mp4", {"libx264"}, kFragmentSteps, OXLDataReader::Video_Data, "v:0"},
};

class DeliveryAllocationTest : public testing::TestWithParam<Material> {
 protected:
  void SetUp() override {
    const Material& m = GetParam();
    if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    for (const auto& encoder : m.encoders)
      if (!oxltest::HasEncoder(encoder)) GTEST_SKIP() << "ffmpeg lacks " << encoder;
    m_Fixture = &oxltest::GetMediaFixture(m.file, {m.steps});
    m_Reader = std::make_unique<CQTDataReader>(m.type, "allocations");
    ASSERT_EQ(0, m_Reader->Open(m_Fixture->path.c_str(), false));
    m_Buffer.resize(kBufferSize);
  }

  // Bytes of the stream's packets; with `playedOnly`, of those presented
  // from time 0 on (AAC's priming packet comes before it).
  uint64_t PacketBytes(bool playedOnly) const {
    uint64_t total = 0;
    for (const ProbePacket& packet : m_Fixture->probe.Packets(GetParam().stream))
      if (!playedOnly || !packet.pts || *packet.pts >= 0) total += packet.size;
    return total;
  }

  // A delivery, its heap allocations counted.
  int Deliver(bool forward, unsigned int& size, double& time) {
    unsigned char* data = m_Buffer.data();
    const long before = g_Allocations.load();
    g_bCounting = true;
    const int result = forward ? m_Reader->GetNextData(data, kBufferSize, &size, &time)
                               : m_Reader->GetPrevData(data, kBufferSize, &size, &time);
    g_bCounting = false;
    m_Allocations += g_Allocations.load() - before;
    return result;
  }

  // Delivers until the end of the data; the bytes delivered.
  uint64_t Pass(bool forward) {
    uint64_t bytes = 0;
    for (;;) {
      unsigned int size = 0;
      double time = 0;
      const int result = Deliver(forward, size, time);
      if (result == 100) return bytes;
      EXPECT_EQ(0, result);
      if (result != 0) return bytes;
      bytes += size;
      ++m_Deliveries;
    }
  }

  // A pass forwards from the start, one backwards from the end, and 20
  // seeks, each followed by up to three deliveries forwards.
  void Round(uint64_t forwardBytes, uint64_t allBytes) {
    ASSERT_EQ(0, m_Reader->GoToDataStart());
    ASSERT_EQ(forwardBytes, Pass(true));
    ASSERT_EQ(0, m_Reader->GoToDataEnd());
    ASSERT_EQ(allBytes, Pass(false));
    const double duration = m_Reader->GetActiveTrackContentDuration();
    for (int seek = 0; seek < 20; ++seek) {
      m_dwSeed = m_dwSeed * 1103515245u + 12345u;
      double target = duration * 0.95 * double(m_dwSeed >> 8) / double(1u << 24);
      ASSERT_EQ(0, m_Reader->GoToTimeOffset(target));
      for (int read = 0; read < 3; ++read) {
        unsigned int size = 0;
        double time = -1;
        const int result = Deliver(true, size, time);
        if (read > 0 && result == 100) break;  // the end of the data
        ASSERT_EQ(0, result) << "seek to " << target;
        EXPECT_GT(size, 0u);
        if (read == 0) {
          EXPECT_NEAR(target, time, 1.0) << "the first delivery after the seek";
        }
        ++m_Deliveries;
      }
    }
  }

  const MediaFixture* m_Fixture = nullptr;
  std::unique_ptr<CQTDataReader> m_Reader;
  std::vector<unsigned char> m_Buffer;
  long m_Allocations = 0;
  size_t m_Deliveries = 0;
  unsigned int m_dwSeed = 12345;
};

TEST_P(DeliveryAllocationTest, NoAllocationAfterTheFirstDelivery) {
  // The first round makes what the reader keeps: its saved cursors, for a
  // fragmented movie the index of each fragment as reading reaches it, and
  // the lookup checkpoints a long time table gets at its first far jump.
  const uint64_t forwardBytes = PacketBytes(true);
  const uint64_t allBytes = PacketBytes(false);
  Round(forwardBytes, allBytes);
  m_Allocations = 0;
  m_Deliveries = 0;
  while (m_Deliveries < kDeliveries) Round(forwardBytes, allBytes);
  EXPECT_EQ(0, m_Allocations) << "in " << m_Deliveries << " deliveries";
}

INSTANTIATE_TEST_SUITE_P(Materials, DeliveryAllocationTest, testing::ValuesIn(kMaterials),
                         [](const testing::TestParamInfo<Material>& info) { return info.param.name; });

}  // namespace
