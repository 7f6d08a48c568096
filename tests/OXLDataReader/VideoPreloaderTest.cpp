// The video preloader: passes at random places, a throwing reader, a new or
// refused start with a pass pending; and the events it waits on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <thread>

#include "OXLDataReader/NeoEvent.h"
#include "OXLDataReader/VideoPreloader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "support/TempDir.h"

namespace {

// Opens the preloader's protected side, as a derived reader sees it.
class TestPreloader : public CVideoPreloader {
 public:
  using CVideoPreloader::RequestPreload;
  unsigned int Loaded() const { return m_dwLoaded; }
  void SetLoaded(unsigned int loaded) { m_dwLoaded = loaded; }
  // No thread, no events, no buffer: what a closed or refused preloader leaves.
  bool Stopped() const { return !m_Thread.joinable() && !m_hStartEvent && !m_hDoneEvent && !m_pBuffer; }
  std::string LoadedBytes() const { return std::string(reinterpret_cast<const char*>(m_pBuffer), m_dwLoaded); }
  bool Aligned() const { return reinterpret_cast<uintptr_t>(m_pBuffer) % 1024 == 0; }
};

// Throws on reads while `throws`.
class ThrowingFileReader : public SimpleFileReader {
 public:
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    if (throws) throw std::runtime_error("device gone");
    return SimpleFileReader::ReadFile(buffer, count, read);
  }
  bool throws = false;
};

class VideoPreloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Bytes that differ at every offset: a stretch read from or written to the wrong place shows.
    std::mt19937 random(20261205);
    content.resize(300000);
    for (auto& b : content) b = static_cast<char>(random());
    path = dir.write("essence.bin", content);
  }
  // One pass from `offset` with `loaded` bytes already in the buffer.
  void Pass(COXLFileReader& reader, unsigned long offset, unsigned int loaded) {
    ASSERT_EQ(reader.SetFilePointer(offset), 0);
    preloader.SetLoaded(loaded);
    ASSERT_TRUE(preloader.RequestPreload());
    ASSERT_TRUE(preloader.WaitPreloadThread());
  }

  oxltest::TempDir dir;
  std::string content, path;
  TestPreloader preloader;
};

}  // namespace

// An empty buffer is filled, a partly loaded one gets whole granules after
// what it holds; a finished pass is answered once; a throwing read leaves
// the loaded count and the thread goes on.
TEST_F(VideoPreloaderTest, ManyRequestsAtRandomPlacesDeliverTheFileBytes) {
  ThrowingFileReader reader;
  const unsigned int bufferSize = 16384, granule = 1000;
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  ASSERT_EQ(preloader.Initialize(granule, &reader, bufferSize), 0);
  EXPECT_TRUE(preloader.Aligned());
  EXPECT_FALSE(preloader.WaitPreloadThread());  // nothing pending: false at once, no pass
  std::mt19937 random(7);
  for (int cycle = 0; cycle < 3000; ++cycle) {
    const unsigned long offset = random() % content.size();
    const unsigned int loaded = random() % 3 == 0 ? random() % bufferSize : 0;
    const std::string head = preloader.LoadedBytes().substr(0, std::min(loaded, preloader.Loaded()));
    reader.throws = cycle % 100 == 99;
    Pass(reader, offset, loaded);
    const unsigned int room = bufferSize - loaded;
    const unsigned int asked = loaded == 0 ? bufferSize : room - room % granule;
    const unsigned int expected = reader.throws ? 0 : std::min<unsigned long>(asked, content.size() - offset);
    ASSERT_EQ(preloader.Loaded(), loaded + expected) << "cycle " << cycle;
    const std::string bytes = preloader.LoadedBytes();
    ASSERT_TRUE(bytes.compare(0, head.size(), head) == 0) << "cycle " << cycle;
    ASSERT_TRUE(bytes.compare(loaded, expected, content, offset, expected) == 0) << "cycle " << cycle;
  }
  EXPECT_FALSE(preloader.WaitPreloadThread());
}

// (Destruction with a pass pending: the IMX reader's read-ahead tests.)
TEST_F(VideoPreloaderTest, ANewStartOrARefusedOneWithAPassPending) {
  SimpleFileReader reader, second;
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  ASSERT_EQ(second.OpenFile(path.c_str(), 0), 0);
  ASSERT_EQ(preloader.Initialize(4096, &second, 65536), 0);
  ASSERT_TRUE(preloader.RequestPreload());  // left pending: the new start waits for it
  ASSERT_EQ(preloader.Initialize(512, &reader, 8192), 0);
  EXPECT_FALSE(preloader.WaitPreloadThread());
  Pass(reader, 100, 0);
  ASSERT_EQ(preloader.Loaded(), 8192u);
  EXPECT_EQ(preloader.LoadedBytes(), content.substr(100, 8192));
  ASSERT_TRUE(preloader.RequestPreload());
  // A refused start leaves no thread (the old one gone too); closing is quiet.
  EXPECT_EQ(preloader.Initialize(512, nullptr, 8192), -1);
  EXPECT_TRUE(preloader.Stopped());
  EXPECT_FALSE(preloader.RequestPreload());
  EXPECT_EQ(preloader.Initialize(512, &reader, 0), -1);
  EXPECT_TRUE(preloader.Stopped());
  EXPECT_EQ(preloader.Close(), 0);
}

namespace {

using namespace neosmart;

struct EventHolder {
  explicit EventHolder(bool autoReset, bool initialState = false) : event(CreateNeoEvent(autoReset, initialState)) {}
  ~EventHolder() { DestroyNeoEvent(event); }
  neosmart_event_t event;
};

// Each kind of event with a thread waiting on it (never more than one, as in
// the preloader): a set releases it; only a manual-reset one stays set.
TEST(NeoEventTest, ASetReleasesTheWaiterAndOnlyAManualResetEventStaysSet) {
  for (const bool autoReset : {true, false}) {
    EventHolder e(autoReset);
    std::atomic<bool> released{false};
    std::thread waiter([&] { released = WaitForNeoEvent(e.event, WAIT_INFINITE) == 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // most likely waiting by now
    ASSERT_EQ(SetNeoEvent(e.event), 0);
    waiter.join();
    EXPECT_TRUE(released);
    EXPECT_EQ(IsNeoEventSet(e.event), !autoReset);
    ASSERT_EQ(ResetNeoEvent(e.event), 0);
    EXPECT_EQ(WaitForNeoEvent(e.event, 0), WAIT_TIMEOUT);
  }
  // A set without a waiter is kept for one wait of an auto-reset event and
  // does not count up; a timed wait times out.
  EventHolder e(true, true);
  ASSERT_EQ(SetNeoEvent(e.event), 0);
  EXPECT_EQ(WaitForNeoEvent(e.event, 0), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForNeoEvent(e.event, 60), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_EQ(SetNeoEvent(nullptr), EINVAL);
  EXPECT_EQ(WaitForNeoEvent(nullptr, 0), EINVAL);
}

}  // namespace
