// The IMX video reader's read-ahead thread against a reader without it, a file
// failing mid-pass, and a D-10 file read while a writer appends.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <tuple>

#include "OXLDataReader/IMXVideoReader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "OxlTbx/TextEncoding.h"
#include "support/GrowingFile.h"
#include "support/ImxFixtures.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

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

// Counts the bytes read (by the caller's thread and the read-ahead's) and
// fails reads once `budget` bytes have been read.
struct CountingFileReader : SimpleFileReader {
  explicit CountingFileReader(unsigned long budget = ~0UL) : budget(budget) {}
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    *read = 0;
    if (bytes >= budget) return 1;
    const int result = SimpleFileReader::ReadFile(buffer, count, read);
    bytes += *read;
    return result;
  }
  const unsigned long budget;
  std::atomic<unsigned long> bytes{0};
};

TEST(ImxReadAhead, MixedReadsAndMovesDeliverWhatAReaderWithoutReadAheadDelivers) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const auto packets = oxltest::VideoPackets(oxltest::D10Fixture());
  CIMXVideoReader ahead("ahead"), plain("plain");
  plain.SetReadAhead(false);
  auto* file = new CountingFileReader;  // what the read-ahead reader reads
  ASSERT_EQ(file->OpenFile(TextEncoding::Unicode::get8(oxltest::D10Fixture().path).c_str(), 0), 0);
  ASSERT_EQ(ahead.Open(file, false), 0);  // takes the file reader
  ASSERT_EQ(plain.Open(oxltest::D10Fixture().path.c_str(), false), 0);
  unsigned int editBytes = 0;
  ASSERT_EQ(ahead.GetSampleInfos(nullptr, &editBytes, nullptr), 0);
  // A host that jumps about and takes one frame at each place reads that
  // frame's edit unit from the file, not a window and a read-ahead pass.
  const size_t last = packets.size() - 1;
  for (size_t frame : {last, size_t(0), last / 2, size_t(3), last - 4}) {
    const unsigned long before = file->bytes;
    const unsigned int field = static_cast<unsigned int>(frame * 2);
    ASSERT_EQ(Apply(ahead, 6, field), Apply(plain, 6, field));
    const auto a = Apply(ahead, 0, 0);
    ASSERT_EQ(a, Apply(plain, 0, 0));
    EXPECT_EQ(std::get<1>(a), packets[frame].first) << "frame " << frame;
    EXPECT_LE(file->bytes - before, editBytes) << "frame " << frame;
  }
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
  // Closing with a pass maybe under way (destroying: each test's end).
  EXPECT_EQ(Apply(ahead, 0, 0), Apply(plain, 0, 0));
  EXPECT_EQ(ahead.Close(), 0);
  EXPECT_EQ(std::get<0>(Apply(ahead, 0, 0)), -1);  // no file any more
}

// A read failing under the read-ahead: 100 after the frames before it, which
// are the file's, and the reader can go back to the start.
TEST(ImxReadAhead, AFileThatFailsMidPassGivesCodesNotCrashes) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const auto packets = oxltest::VideoPackets(oxltest::D10Fixture());
  for (unsigned long budget : {3000000ul, 4500000ul, 6000000ul}) {
    auto* file = new CountingFileReader(budget);
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

unsigned int Fields(CIMXVideoReader& reader) {
  unsigned int in = 0, out = 0, system = 0;
  EXPECT_EQ(reader.GetInOut(&in, &out, &system), 0);
  return out - in;
}

// Read while a writer appends one edit unit at a time: each frame once and in
// order, in and out follow, moves past what is written give 100; the footer,
// larger than three edit units (as a full index makes it), is not essence.
TEST(ImxGrowingFile, EveryFrameOnceAndInOrderWhileTheWriterAppends) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  // The finished file cut where a recorder writes it: header, edit units, the rest.
  const auto packets = oxltest::VideoPackets(oxltest::D10Fixture());
  const std::string bytes = oxltest::ReadWholeFile(oxltest::D10Fixture().path);
  CIMXVideoReader whole("whole");
  ASSERT_EQ(whole.Open(oxltest::D10Fixture().path.c_str(), false), 0);
  ASSERT_EQ(whole.GetDuration(), static_cast<int64_t>(packets.size()));
  const uint64_t start = whole.GetEssenceStart(), unit = whole.GetEditByteCount();
  const auto Unit = [&](size_t i) { return bytes.substr(start + i * unit, unit); };
  std::string footer = bytes.substr(start + packets.size() * unit);
  const std::string fill = oxltest::mxf::Label("06.0e.2b.34.01.01.01.02.03.01.02.10.01.00.00.00");
  footer.insert(oxltest::mxf::KlvOffsets(footer).at(1), oxltest::mxf::Klv(fill, std::string(3 * unit, '\0')));
  oxltest::TempDir dir;
  for (bool readAhead : {true, false}) {
    oxltest::GrowingFile file(dir.file(readAhead ? "ahead.mxf" : "plain.mxf"),
                              bytes.substr(0, start) + Unit(0) + Unit(1));
    CIMXVideoReader reader("growing");
    reader.SetReadAhead(readAhead);
    ASSERT_EQ(reader.Open(file.path().c_str(), false), 0);
    EXPECT_TRUE(reader.IsGrowing());
    EXPECT_EQ(Fields(reader), 2u * 2);
    EXPECT_EQ(reader.GoToFieldOffset(6, nullptr), 100);  // frame 3 is not there yet
    ASSERT_EQ(reader.GoToDataEnd(), 0);
    const auto back = oxltest::ReadAll(reader, 0, true);  // from the end of what is written to the start
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(oxltest::Md5Hash(back[0].bytes), packets[1].first);
    EXPECT_DOUBLE_EQ(back[0].time, packets[1].second);

    std::atomic<bool> written{false};
    std::thread writer([&] {
      for (size_t i = 2; i < packets.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        file.Append(Unit(i));
      }
      file.Append(footer);
      written = true;
    });
    std::vector<std::string> seen, expected;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      int last = 0;
      for (const auto& frame : oxltest::ReadAll(reader, 0, false, &last)) seen.push_back(oxltest::Md5Hash(frame.bytes));
      ASSERT_EQ(last, 100);
      if (written && !reader.IsGrowing()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    for (const auto& packet : packets) expected.push_back(packet.first);
    EXPECT_EQ(seen, expected) << "read-ahead " << readAhead;
    EXPECT_FALSE(reader.IsGrowing());  // the footer is recognised
    EXPECT_EQ(Fields(reader), packets.size() * 2);
    EXPECT_EQ(reader.GoToFieldOffset(static_cast<unsigned int>(packets.size() * 2 + 2), nullptr), 1);
  }
}

}  // namespace
