// The local file reader: opening, reading, positioning and names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "OXLFileAccess/OXLAccessHandler.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "OxlTbx/TextEncoding.h"
#include "support/TempDir.h"

namespace {

class SimpleFileReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(reader.OpenFile(dir.write("data.bin", "0123456789").c_str(), 0), 0); }
  std::string Read(unsigned int size, int expected = 0) {
    char buf[32] = {};
    unsigned int read = 99;
    EXPECT_EQ(reader.ReadFile(buf, size, &read), expected);
    return std::string(buf, read);
  }
  oxltest::TempDir dir;
  SimpleFileReader reader;
};

}  // namespace

TEST(SimpleFileReader, NeverOpenedAnswersMinusOne) {
  SimpleFileReader reader;
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.GetFileSize(), ~0UL);
  EXPECT_TRUE(reader.IsFileEnd());  // position 0 >= size -1 when compared signed
  unsigned int read = 7;
  char buf[4];
  EXPECT_EQ(reader.ReadFile(buf, 4, &read), -1);
  unsigned long offset = 0;
  EXPECT_EQ(reader.SetFilePointer(offset), -1);
  EXPECT_EQ(reader.MoveFilePointer(1), -1);
}

TEST_F(SimpleFileReaderTest, ShortReadSucceedsThenEndOfFileClosesUntilAGoodSeek) {
  EXPECT_EQ(reader.GetFileSize(), 10u);
  EXPECT_EQ(Read(6), "012345");
  EXPECT_FALSE(reader.IsFileEnd());
  EXPECT_EQ(Read(16), "6789");  // only 4 left: still success
  EXPECT_TRUE(reader.IsFileEnd());
  EXPECT_EQ(Read(16, 1), "");
  EXPECT_FALSE(reader.IsOpen());
  unsigned long start = 0;
  ASSERT_EQ(reader.SetFilePointer(start), 0);  // a good seek reopens
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_EQ(Read(2), "01");
  EXPECT_EQ(reader.MoveFilePointer(-100), 1);
  EXPECT_FALSE(reader.IsOpen());
  unsigned long offset = 3;
  EXPECT_EQ(reader.SetFilePointer(offset), 0);
  EXPECT_EQ(reader.GetFilePointer(), 3u);
}

// A file still being written: reading on from its old end finds the bytes added since.
TEST_F(SimpleFileReaderTest, ReadingOnAtTheEndSeesWhatTheFileGained) {
  EXPECT_EQ(Read(16), "0123456789");
  EXPECT_EQ(Read(16, 1), "");
  std::FILE* out = std::fopen(dir.file("data.bin").c_str(), "ab");
  ASSERT_NE(out, nullptr);
  std::fputs("abc", out);
  std::fclose(out);
  EXPECT_EQ(Read(16), "abc");
  EXPECT_EQ(reader.GetFilePointer(), 13u);
}

TEST_F(SimpleFileReaderTest, SetReadFilePointerOrigins) {
  long offset = 4;
  EXPECT_TRUE(reader.SetReadFilePointer(offset, OxlFileReader::Begin));
  offset = 3;
  EXPECT_TRUE(reader.SetReadFilePointer(offset, OxlFileReader::Current));
  EXPECT_EQ(offset, 7);  // the new absolute position
  EXPECT_EQ(Read(1), "7");
  offset = -2;
  EXPECT_FALSE(reader.SetReadFilePointer(offset, OxlFileReader::End));  // seeks, but no tracked position
  EXPECT_EQ(reader.GetFilePointer(), 8u);
  EXPECT_EQ(localFileReader::ToWindowsMoveMethod(OxlFileReader::Current), SEEK_CUR);
  EXPECT_EQ(localFileReader::ToWindowsMoveMethod(OxlFileReader::End), SEEK_END);
  EXPECT_EQ(localFileReader::ToWindowsMoveMethod(static_cast<OxlFileReader::MoveMethod>(9)), SEEK_SET);
}

TEST(SimpleFileReader, NonAsciiNamesComeBackInBuffersOfCheckedSize) {
  oxltest::TempDir dir;
  const std::string path = dir.write("caf\xC3\xA9-\xE4\xB8\xAD-\xF0\x9F\x8E\xAC.mov", "xyz");
  const std::wstring wide = TextEncoding::Unicode::get(path, 0);
  SimpleFileReader reader;
  ASSERT_EQ(reader.OpenFile(wide.c_str(), 0), 0);
  EXPECT_EQ(reader.GetFileName(), wide);
  EXPECT_EQ(reader.GetFileNameAnsi(), path);
  std::vector<wchar_t> w(wide.size() + 1);
  EXPECT_EQ(reader.GetFileName(w.data(), static_cast<unsigned int>(w.size())), static_cast<int>(wide.size()));
  EXPECT_EQ(std::wstring(w.data()), wide);
  EXPECT_EQ(reader.GetFileName(w.data(), static_cast<unsigned int>(wide.size())), -2);  // no room for the terminator
  std::vector<char> n(path.size() + 1);
  EXPECT_EQ(reader.GetFileName(n.data(), static_cast<unsigned int>(n.size())), 0);
  EXPECT_EQ(std::string(n.data()), path);
  EXPECT_EQ(reader.GetFileName(n.data(), static_cast<unsigned int>(wide.size() + 1)), -1);  // too small for UTF-8
}

TEST(SimpleFileReader, MissingDirectoryEmptySpecialAndUnreadableFilesAreRefused) {
  oxltest::TempDir dir;
  SimpleFileReader reader;
  EXPECT_EQ(reader.OpenFile(dir.file("missing.mov").c_str(), 0), 1);
  EXPECT_EQ(reader.OpenFile(dir.path().c_str(), 0), 1);
  EXPECT_EQ(reader.OpenFile("", 0), 1);
  EXPECT_EQ(reader.OpenFile(static_cast<const wchar_t*>(nullptr), 0), 1);
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(reader.OpenFile(fifo.c_str(), 0), 1);  // would block forever on open
  ASSERT_EQ(symlink(dir.file("nowhere").c_str(), dir.file("dangling").c_str()), 0);
  EXPECT_EQ(reader.OpenFile(dir.file("dangling").c_str(), 0), 1);
  EXPECT_FALSE(reader.IsOpen());
  if (geteuid() == 0) return;  // permissions do not bind root
  const std::string secret = dir.write("secret.mov", "x");
  ASSERT_EQ(chmod(secret.c_str(), 0), 0);
  EXPECT_EQ(reader.OpenFile(secret.c_str(), 0), 1);
}

TEST(FileChrono, ArmsKeepsLabelAndDisarms) {
  COXLFileReader::CFileChrono chrono("log");
  EXPECT_FALSE(chrono.IsArmed());
  chrono.Start(std::string(200, 'x').c_str(), 400);
  EXPECT_TRUE(chrono.IsArmed());
  EXPECT_EQ(std::string(chrono.GetLabel()).size(), 126u);
  EXPECT_EQ(chrono.GetThresholdMs(), 400);
  chrono.Stop();
  EXPECT_FALSE(chrono.IsArmed());
}
