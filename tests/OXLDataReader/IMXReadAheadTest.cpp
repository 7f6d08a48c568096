// The IMX video reader with its read-ahead thread: long runs of mixed reads
// and moves deliver what a reader without read-ahead delivers, and closing,
// destroying or a failing file in the middle of a pass end cleanly.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "OXLDataReader/IMXVideoReader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "OxlTbx/TextEncoding.h"
#include "support/ImxFixtures.h"

namespace {

// One operation of a mix that is mostly forwards, the read-ahead's case:
// its result, and the MD5 and time of what it delivered.
std::tuple<int, std::string, double> Apply(CIMXVideoReader& reader, int operation, unsigned int argument) {
  static thread_local std::string buffer(1 << 20, '\0');
  auto* data = reinterpret_cast<unsigned char*>(buffer.data());
  unsigned int size = 0;
  double time = -1;
  int result = 0;
  if (operation < 4) result = reader.GetNextData(data, buffer.size(), &size, &time);
  else if (operation < 6) result = reader.GetPrevData(data, buffer.size(), &size, &time);
  else if (operation == 6) result = reader.GoToFieldOffset(argument, nullptr);
  else if (operation == 7) result = reader.SkipNextData();
  else result = operation == 8 ? reader.GoToDataEnd() : reader.GoToDataStart();
  return {result, operation < 6 && result == 0 ? oxltest::Md5Hash(buffer.substr(0, size)) : "", time};
}

TEST(ImxReadAhead, MixedReadsAndMovesDeliverWhatAReaderWithoutReadAheadDelivers) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const auto packets = oxltest::VideoPackets(oxltest::D10Fixture());
  CIMXVideoReader ahead("ahead"), plain("plain");
  plain.SetReadAhead(false);
  ASSERT_EQ(ahead.Open(oxltest::D10Fixture().path.c_str(), false), 0);
  ASSERT_EQ(plain.Open(oxltest::D10Fixture().path.c_str(), false), 0);
  std::mt19937 random(20261206);
  int delivered = 0;
  for (int step = 0; step < 3000; ++step) {
    const int operation = static_cast<int>(random() % 10);
    const unsigned int argument = random() % (packets.size() * 2 + 4);
    const auto a = Apply(ahead, operation, argument);
    ASSERT_EQ(a, Apply(plain, operation, argument)) << "step " << step << " operation " << operation;
    if (std::get<1>(a).empty()) continue;
    // And both are ffprobe's frame at that time.
    const size_t frame = static_cast<size_t>(std::get<2>(a) * 25 + 0.5);
    ASSERT_LT(frame, packets.size());
    ASSERT_EQ(std::get<1>(a), packets[frame].first) << "step " << step;
    ++delivered;
  }
  EXPECT_GT(delivered, 1000);
}

// Closing or destroying the reader after 0 to 11 frames, with a pass maybe under way.
TEST(ImxReadAhead, CloseOrDestructionDuringAPassEndsCleanly) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  for (int i = 0; i < 50; ++i) {
    CIMXVideoReader reader("close");
    ASSERT_EQ(reader.Open(oxltest::D10Fixture().path.c_str(), false), 0);
    unsigned int size = 0;
    unsigned char* data = nullptr;  // the picture in the reader's window
    for (int n = 0; n < i % 12; ++n, data = nullptr) ASSERT_EQ(reader.GetNextData(data, 0, &size, nullptr), 0);
    if (i % 2) {
      EXPECT_EQ(reader.Close(), 0);
      EXPECT_EQ(reader.GetNextData(data, 0, &size, nullptr), -1);  // no file any more
    }
  }
}

// Reads fail once `budget` bytes have been read.
class FailingFileReader : public SimpleFileReader {
 public:
  explicit FailingFileReader(unsigned long budget) : m_Budget(budget) {}
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    if (m_Read >= m_Budget) {
      *read = 0;
      return 1;
    }
    const int result = SimpleFileReader::ReadFile(buffer, count, read);
    m_Read += *read;
    return result;
  }

 private:
  unsigned long m_Budget, m_Read = 0;
};

TEST(ImxReadAhead, AFileThatFailsMidPassGivesCodesNotCrashes) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const auto packets = oxltest::VideoPackets(oxltest::D10Fixture());
  for (unsigned long budget : {3000000ul, 4500000ul, 6000000ul}) {
    auto* file = new FailingFileReader(budget);
    ASSERT_EQ(file->OpenFile(TextEncoding::Unicode::get8(oxltest::D10Fixture().path).c_str(), 0), 0);
    CIMXVideoReader reader("failing");
    ASSERT_EQ(reader.Open(file, false), 0);  // takes the file reader
    int last = 0;
    const auto frames = oxltest::ReadAll(reader, 1 << 20, false, &last);
    EXPECT_EQ(last, 100);
    ASSERT_LT(frames.size(), packets.size());
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(oxltest::Md5Hash(frames[i].bytes), packets[i].first);
    EXPECT_EQ(reader.GoToDataStart(), 0);
  }
}

}  // namespace
