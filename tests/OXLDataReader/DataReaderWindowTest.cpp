// The buffered big-endian window of the base reader.
#include <gtest/gtest.h>

#include <memory>

#include "OXLDataReader/OXLDataReader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "support/TempDir.h"

namespace {

// Counts seeks so tests can tell window hits from file access.
class CountingReader : public SimpleFileReader {
 public:
  int SetFilePointer(unsigned long& offset) override {
    ++seeks;
    return SimpleFileReader::SetFilePointer(offset);
  }
  int MoveFilePointer(long delta) override {
    ++moves;
    lastMove = delta;
    return SimpleFileReader::MoveFilePointer(delta);
  }
  int seeks = 0, moves = 0;
  long lastMove = 0;
};

class WindowReader : public COXLDataReader {
 public:
  explicit WindowReader(unsigned int size) : COXLDataReader(OXLDataReader::Video_Data, size, "test") {}
  using COXLDataReader::InsureAvailableBytes;
  using COXLDataReader::InvalidateBufferData;
  using COXLDataReader::LoadData;
  using COXLDataReader::SkipBytes;
  int movedCalls = 0;
  unsigned char At(unsigned int i) const { return m_pCurrent[i]; }

 protected:
  int Initialize(bool) override { return 0; }
  void OnFileIndexMoved() override { ++movedCalls; }
};

// Byte i of the file is i % 251, so any byte tells its own offset.
unsigned char ByteAt(unsigned long offset) { return static_cast<unsigned char>(offset % 251); }

class DataReaderWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bytes;
    for (int i = 0; i < 10000; ++i) bytes.push_back(static_cast<char>(ByteAt(i)));
    path = dir.write("data.bin", bytes);
    file = new CountingReader();
    ASSERT_EQ(file->OpenFile(path.c_str(), 0), 0);
    ASSERT_EQ(reader.Open(file, false), 0);
  }
  void ExpectCursorAt(unsigned long offset) {
    ASSERT_GT(reader.GetAvailableBytes(), 0u);
    EXPECT_EQ(reader.At(0), ByteAt(offset)) << "cursor not on offset " << offset;
    EXPECT_EQ(reader.GetBufferFileOffset() + (reader.GetCurrent() - Window()), offset);
  }
  const unsigned char* Window() const { return reader.GetCurrent() - (reader.GetBufferDataSize() - reader.GetAvailableBytes()); }

  oxltest::TempDir dir;
  std::string path;
  WindowReader reader{1000};
  CountingReader* file = nullptr;  // owned by the reader
};

}  // namespace

TEST_F(DataReaderWindowTest, LoadFillsWindowAndKeepsUnreadBytes) {
  ASSERT_EQ(reader.LoadData(), 0);
  EXPECT_EQ(reader.GetBufferDataSize(), 1000u);
  EXPECT_EQ(reader.GetAvailableBytes(), 1000u);
  EXPECT_EQ(reader.LoadData(), 1);  // full window: nothing to do
  ASSERT_EQ(reader.SkipBytes(900), 0);
  ASSERT_EQ(reader.LoadData(), 0);  // 100 kept, 900 new
  EXPECT_EQ(reader.GetBufferFileOffset(), 900u);
  EXPECT_EQ(reader.GetAvailableBytes(), 1000u);
  ExpectCursorAt(900);
  EXPECT_EQ(reader.At(999), ByteAt(1899));
}

TEST_F(DataReaderWindowTest, SetFileIndexInsideWindowOnlyMovesCursor) {
  ASSERT_EQ(reader.LoadData(), 0);
  const int seeks = file->seeks;
  ASSERT_EQ(reader.SetFileIndex(999), 0);
  EXPECT_EQ(file->seeks, seeks);
  EXPECT_EQ(reader.movedCalls, 0);
  EXPECT_EQ(reader.GetAvailableBytes(), 1u);
  ExpectCursorAt(999);
  ASSERT_EQ(reader.SetFileIndex(1000), 0);  // the end of the data is outside
  EXPECT_EQ(file->seeks, seeks + 1);
  EXPECT_EQ(reader.movedCalls, 1);
  EXPECT_EQ(reader.GetBufferFileOffset(), 1000u);
  EXPECT_EQ(reader.GetAvailableBytes(), 0u);
  ASSERT_TRUE(reader.InsureAvailableBytes(4));
  ExpectCursorAt(1000);
  EXPECT_EQ(COXLDataReader::Read32(reader.GetCurrent()),
            uint32_t(ByteAt(1000)) << 24 | uint32_t(ByteAt(1001)) << 16 | uint32_t(ByteAt(1002)) << 8 | ByteAt(1003));
}

TEST_F(DataReaderWindowTest, InsureAvailableReadsOnceAndNeverBeyondWindow) {
  EXPECT_FALSE(reader.InsureAvailableBytes(1001));  // larger than the window, even at the start
  EXPECT_EQ(reader.GetAvailableBytes(), 1000u);
  EXPECT_TRUE(reader.InsureAvailableBytes(1000));
  ASSERT_EQ(reader.SetFileIndex(9990), 0);
  EXPECT_FALSE(reader.InsureAvailableBytes(20));  // only 10 bytes left in the file
  EXPECT_EQ(reader.GetAvailableBytes(), 10u);
  EXPECT_TRUE(reader.InsureAvailableBytes(10));
}

TEST_F(DataReaderWindowTest, SkipBeyondWindowEmptiesItAtTheNewPosition) {
  ASSERT_EQ(reader.LoadData(), 0);
  ASSERT_EQ(reader.SkipBytes(10), 0);
  ASSERT_EQ(reader.SkipBytes(2000), 0);  // 990 in the window, 1010 beyond
  EXPECT_EQ(file->lastMove, 1010);
  EXPECT_EQ(reader.GetBufferDataSize(), 0u);
  EXPECT_EQ(reader.GetAvailableBytes(), 0u);
  EXPECT_EQ(reader.GetBufferFileOffset(), 2010u);
  ASSERT_EQ(reader.LoadData(), 0);
  ExpectCursorAt(2010);
  reader.InvalidateBufferData();  // keeps origin and file position
  EXPECT_EQ(reader.GetAvailableBytes(), 0u);
  EXPECT_EQ(reader.GetBufferDataSize(), 0u);
  EXPECT_EQ(reader.GetBufferFileOffset(), 2010u);
  EXPECT_EQ(file->GetFilePointer(), 3010u);
}

TEST_F(DataReaderWindowTest, ShrinkingKeepsFirstBytesAndRewindsTheFile) {
  ASSERT_EQ(reader.LoadData(), 0);
  ASSERT_EQ(reader.SkipBytes(100), 0);
  ASSERT_EQ(reader.SetBufferSize(300), 0);  // 900 available, keep 300, rewind 600
  EXPECT_EQ(file->lastMove, -600);
  EXPECT_EQ(reader.GetBufferSize(), 300u);
  EXPECT_EQ(reader.GetBufferFileOffset(), 100u);
  EXPECT_EQ(reader.GetAvailableBytes(), 300u);
  ExpectCursorAt(100);
  ASSERT_EQ(reader.SkipBytes(300), 0);
  ASSERT_EQ(reader.LoadData(), 0);  // continues seamlessly at 400
  ExpectCursorAt(400);
  EXPECT_EQ(reader.At(299), ByteAt(699));
}

TEST_F(DataReaderWindowTest, GrowingKeepsAllAvailableBytes) {
  ASSERT_EQ(reader.LoadData(), 0);
  ASSERT_EQ(reader.SkipBytes(400), 0);
  ASSERT_EQ(reader.SetBufferSize(4000), 0);
  EXPECT_EQ(file->moves, 0);
  EXPECT_EQ(reader.GetAvailableBytes(), 600u);
  EXPECT_EQ(reader.GetBufferFileOffset(), 400u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(Window()) % 1024, 0u);
  EXPECT_TRUE(reader.InsureAvailableBytes(4000));
  ExpectCursorAt(400);
  EXPECT_EQ(reader.At(3999), ByteAt(4399));
}

TEST_F(DataReaderWindowTest, BackwardPositioningKeepsDataBeforeTheTarget) {
  ASSERT_EQ(reader.SetFileIndexBack(5000, 100), 0);
  EXPECT_EQ(reader.GetBufferFileOffset(), 4100u);  // 900 bytes before, 100 at the target
  EXPECT_EQ(reader.GetAvailableBytes(), 100u);
  ExpectCursorAt(5000);
  EXPECT_EQ(reader.movedCalls, 0);
  // A step back stays in the window: no file access.
  const int seeks = file->seeks;
  ASSERT_EQ(reader.SetFileIndexBack(4500, 100), 0);
  EXPECT_EQ(file->seeks, seeks);
  ExpectCursorAt(4500);
}

TEST_F(DataReaderWindowTest, BackwardPositioningNearStartLoadsFromZeroAndFailsPastTheEnd) {
  ASSERT_EQ(reader.SetFileIndex(5000), 0);
  ASSERT_EQ(reader.SetFileIndexBack(300, 100), 0);  // 300 < 1000 - 100
  EXPECT_EQ(reader.GetBufferFileOffset(), 0u);
  EXPECT_EQ(reader.GetAvailableBytes(), 700u);
  ExpectCursorAt(300);
  ASSERT_EQ(reader.SetFileIndexBack(8000, 5000), 0);  // request larger than the window
  EXPECT_EQ(reader.GetBufferFileOffset(), 8000u);
  ExpectCursorAt(8000);
  EXPECT_NE(reader.SetFileIndexBack(20000, 100), 0);
  EXPECT_EQ(reader.GetAvailableBytes(), 0u);
  EXPECT_EQ(reader.SetFileIndexBack(10500, 100), 1);  // the window loads, but ends before the target
  EXPECT_EQ(reader.GetAvailableBytes(), 0u);
}

TEST(DataReaderWindowWithoutFile, EverythingAnswersNotSupported) {
  WindowReader reader(64);
  EXPECT_EQ(reader.LoadData(), -1);
  EXPECT_EQ(reader.SkipBytes(1), -1);
  EXPECT_EQ(reader.SetFileIndex(0), -1);
  EXPECT_EQ(reader.SetFileIndexBack(0, 1), -1);
  EXPECT_FALSE(reader.InsureAvailableBytes(1));
  EXPECT_TRUE(reader.InsureAvailableBytes(0));
  EXPECT_EQ(reader.Close(), -1);
  EXPECT_FALSE(reader.IsFileOpen());
}

TEST(DataReaderWindowWithoutFile, BigEndianReads) {
  const unsigned char b[8] = {0x01, 0x02, 0x03, 0x04, 0xF5, 0x06, 0x07, 0x08};
  EXPECT_EQ(COXLDataReader::Read16(b), 0x0102u);
  EXPECT_EQ(COXLDataReader::Read32(b + 4), 0xF5060708u);
  EXPECT_EQ(COXLDataReader::Read64(b), 0x01020304F5060708ull);
}
