// The video preloader: passes over a real file through the local file reader,
// the hand-over between the reader and the thread, closing and destruction at
// any moment, and file readers that fail.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "OXLDataReader/VideoPreloader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "support/TempDir.h"

namespace {

// Opens the preloader's protected side, as a derived reader sees it.
class TestPreloader : public CVideoPreloader {
 public:
  using CVideoPreloader::RequestPreload;
  const unsigned char* Buffer() const { return m_pBuffer; }
  unsigned int Loaded() const { return m_dwLoaded; }
  void SetLoaded(unsigned int loaded) { m_dwLoaded = loaded; }
  // No thread, no events, no buffer: what a closed or refused preloader leaves.
  bool Stopped() const { return !m_Thread.joinable() && !m_hStartEvent && !m_hDoneEvent && !m_pBuffer; }
  std::string LoadedBytes() const { return std::string(reinterpret_cast<const char*>(m_pBuffer), m_dwLoaded); }
};

// Fails (1) or throws on reads once `goodReads` reads have succeeded.
class FailingFileReader : public SimpleFileReader {
 public:
  FailingFileReader(int goodReads, bool throws) : m_GoodReads(goodReads), m_Throws(throws) {}
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    if (m_GoodReads-- > 0) return SimpleFileReader::ReadFile(buffer, count, read);
    if (m_Throws) throw std::runtime_error("device gone");
    *read = 0;
    return 1;
  }
  void Heal() { m_GoodReads = 1 << 30; }

 private:
  int m_GoodReads;
  bool m_Throws;
};

// Holds each read until the test lets it go, to catch the thread inside a pass.
class GatedFileReader : public SimpleFileReader {
 public:
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Entered = true;
    m_Changed.notify_all();
    m_Changed.wait(lock, [this] { return m_Open; });
    lock.unlock();
    const int result = SimpleFileReader::ReadFile(buffer, count, read);
    finished = true;
    return result;
  }
  void WaitUntilEntered() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_Entered; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Open = true;
    m_Changed.notify_all();
  }
  std::atomic<bool> finished{false};

 private:
  std::mutex m_Mutex;
  std::condition_variable m_Changed;
  bool m_Entered = false, m_Open = false;
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
  void Start(COXLFileReader& reader, unsigned int granularity, unsigned int bufferSize) {
    ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
    ASSERT_EQ(preloader.Initialize(granularity, &reader, bufferSize), 0);
  }
  // One pass from `offset` with `loaded` bytes already in the buffer.
  void Pass(COXLFileReader& reader, unsigned long offset, unsigned int loaded) {
    ASSERT_EQ(reader.SetFilePointer(offset), 0);
    preloader.SetLoaded(loaded);
    ASSERT_TRUE(preloader.RequestPreload());
    ASSERT_TRUE(preloader.WaitPreloadThread());
  }
  bool LoadedIsFile(unsigned long offset) const {
    return preloader.LoadedBytes() == content.substr(offset, preloader.Loaded());
  }

  oxltest::TempDir dir;
  std::string content, path;
  TestPreloader preloader;
};

}  // namespace

TEST_F(VideoPreloaderTest, RefusedOrNeverStartedPreloaderHasNoThreadAndClosesQuietly) {
  EXPECT_FALSE(preloader.WaitPreloadThread());
  EXPECT_EQ(preloader.Close(), 0);
  SimpleFileReader reader;
  EXPECT_EQ(preloader.Initialize(4096, nullptr, 65536), -1);
  EXPECT_TRUE(preloader.Stopped());
  EXPECT_FALSE(preloader.RequestPreload());
  EXPECT_EQ(preloader.Initialize(4096, &reader, 0), -1);
  EXPECT_TRUE(preloader.Stopped());
  EXPECT_EQ(preloader.Close(), 0);
}

TEST_F(VideoPreloaderTest, FirstPassFillsTheBufferAndFollowUpsAskForWholeGranules) {
  SimpleFileReader reader;
  Start(reader, 4096, 65536);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(preloader.Buffer()) % 1024, 0u);
  EXPECT_FALSE(preloader.WaitPreloadThread());  // nothing pending: false at once, no pass
  EXPECT_EQ(reader.GetFilePointer(), 0u);
  Pass(reader, 12345, 0);
  EXPECT_FALSE(preloader.WaitPreloadThread());  // a finished pass is answered once
  ASSERT_EQ(preloader.Loaded(), 65536u);
  EXPECT_TRUE(LoadedIsFile(12345));
  const std::string head = preloader.LoadedBytes().substr(0, 1000);
  Pass(reader, 200000, 1000);
  ASSERT_EQ(preloader.Loaded(), 1000u + 61440u);
  EXPECT_TRUE(preloader.LoadedBytes().substr(0, 1000) == head);  // the loaded bytes stay
  EXPECT_TRUE(preloader.LoadedBytes().substr(1000) == content.substr(200000, 61440));
  EXPECT_EQ(reader.GetFilePointer(), 200000u + 61440u);
  Pass(reader, 0, 65536 - 4095);  // room for less than one granule: no read
  EXPECT_EQ(reader.GetFilePointer(), 0u);
  EXPECT_EQ(preloader.Loaded(), 65536u - 4095u);
}

TEST_F(VideoPreloaderTest, FailedReadLeavesTheLoadedCountAndTheThreadGoesOn) {
  for (const bool throws : {false, true}) {
    SCOPED_TRACE(throws ? "throwing" : "failing");
    FailingFileReader reader(1, throws);
    Start(reader, 4096, 65536);
    Pass(reader, 0, 0);
    EXPECT_EQ(preloader.Loaded(), 65536u);
    Pass(reader, 0, 5000);
    EXPECT_EQ(preloader.Loaded(), 5000u);
    reader.Heal();
    Pass(reader, 7, 0);
    EXPECT_EQ(preloader.Loaded(), 65536u);
    EXPECT_TRUE(LoadedIsFile(7));
    EXPECT_EQ(preloader.Close(), 0);
  }
}

TEST_F(VideoPreloaderTest, CloseDuringAPassWaitsForItAndEndsTheThread) {
  GatedFileReader reader;
  Start(reader, 4096, 65536);
  ASSERT_TRUE(preloader.RequestPreload());
  reader.WaitUntilEntered();
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    reader.Open();
  });
  EXPECT_EQ(preloader.Close(), 0);
  EXPECT_TRUE(reader.finished);  // Close returned only after the read
  opener.join();
  EXPECT_TRUE(preloader.Stopped());
  EXPECT_FALSE(preloader.WaitPreloadThread());
}

TEST_F(VideoPreloaderTest, DestructionOrANewStartWithAPassPending) {
  SimpleFileReader reader, second;
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  for (int i = 0; i < 200; ++i) {
    TestPreloader other;
    ASSERT_EQ(other.Initialize(4096, &reader, 65536), 0);
    if (i % 2) {
      ASSERT_TRUE(other.RequestPreload());
    }
  }
  Start(second, 4096, 65536);
  ASSERT_TRUE(preloader.RequestPreload());  // left pending: the new start waits for it
  ASSERT_EQ(preloader.Initialize(512, &reader, 8192), 0);
  EXPECT_FALSE(preloader.WaitPreloadThread());
  Pass(reader, 100, 0);
  ASSERT_EQ(preloader.Loaded(), 8192u);
  EXPECT_TRUE(LoadedIsFile(100));
  EXPECT_EQ(preloader.Initialize(512, nullptr, 8192), -1);  // the old thread is gone too
  EXPECT_TRUE(preloader.Stopped());
}

TEST_F(VideoPreloaderTest, ManyRequestsAtRandomPlacesDeliverTheFileBytes) {
  SimpleFileReader reader;
  const unsigned int bufferSize = 16384, granule = 1000;
  Start(reader, granule, bufferSize);
  std::mt19937 random(7);
  for (int cycle = 0; cycle < 3000; ++cycle) {
    const unsigned long offset = random() % content.size();
    const unsigned int loaded = random() % 3 == 0 ? random() % bufferSize : 0;
    const std::string head = preloader.LoadedBytes().substr(0, std::min(loaded, preloader.Loaded()));
    Pass(reader, offset, loaded);
    const unsigned int room = bufferSize - loaded;
    const unsigned int asked = loaded == 0 ? bufferSize : room - room % granule;
    const unsigned int expected = std::min<unsigned long>(asked, content.size() - offset);
    ASSERT_EQ(preloader.Loaded(), loaded + expected) << "cycle " << cycle;
    const std::string bytes = preloader.LoadedBytes();
    ASSERT_TRUE(bytes.compare(0, head.size(), head) == 0) << "cycle " << cycle;
    ASSERT_TRUE(bytes.compare(loaded, expected, content, offset, expected) == 0) << "cycle " << cycle;
  }
}
