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

std::wstring Wide(const std::string& utf8) { return TextEncoding::Unicode::get(utf8, 0); }

class SimpleFileReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { path = dir.write("data.bin", "0123456789"); }
  oxltest::TempDir dir;
  std::string path;
  SimpleFileReader reader;
};

}  // namespace

TEST_F(SimpleFileReaderTest, NeverOpenedReaderHasNoSizeAndIsAtEnd) {
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

TEST_F(SimpleFileReaderTest, ShortReadSucceedsThenEndOfFileCloses) {
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_EQ(reader.GetFileSize(), 10u);
  char buf[16] = {};
  unsigned int read = 0;
  ASSERT_EQ(reader.ReadFile(buf, 6, &read), 0);
  EXPECT_EQ(read, 6u);
  EXPECT_FALSE(reader.IsFileEnd());
  ASSERT_EQ(reader.ReadFile(buf, 16, &read), 0);  // only 4 left: still success
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_TRUE(reader.IsFileEnd());
  EXPECT_EQ(reader.ReadFile(buf, 16, &read), 1);
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(reader.IsOpen());
  unsigned long start = 0;
  ASSERT_EQ(reader.SetFilePointer(start), 0);  // a good seek reopens
  EXPECT_TRUE(reader.IsOpen());
  ASSERT_EQ(reader.ReadFile(buf, 2, &read), 0);
  EXPECT_EQ(std::string(buf, 2), "01");
}

// A file still being written: reading on from its old end, without a seek,
// finds the bytes added since.
TEST_F(SimpleFileReaderTest, ReadingOnAtTheEndSeesWhatTheFileGained) {
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  char buf[16] = {};
  unsigned int read = 0;
  ASSERT_EQ(reader.ReadFile(buf, 16, &read), 0);
  EXPECT_EQ(read, 10u);
  EXPECT_EQ(reader.ReadFile(buf, 16, &read), 1);
  {
    std::FILE* out = std::fopen(path.c_str(), "ab");
    ASSERT_NE(out, nullptr);
    std::fputs("abc", out);
    std::fclose(out);
  }
  ASSERT_EQ(reader.ReadFile(buf, 16, &read), 0);
  EXPECT_EQ(std::string(buf, read), "abc");
  EXPECT_EQ(reader.GetFilePointer(), 13u);
}

TEST_F(SimpleFileReaderTest, FailedSeekReportsNotOpenUntilAGoodOne) {
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  EXPECT_EQ(reader.MoveFilePointer(-100), 1);
  EXPECT_FALSE(reader.IsOpen());
  unsigned long offset = 3;
  EXPECT_EQ(reader.SetFilePointer(offset), 0);
  EXPECT_EQ(offset, 3u);
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_EQ(reader.GetFilePointer(), 3u);
}

TEST_F(SimpleFileReaderTest, SetReadFilePointerOrigins) {
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  long offset = 4;
  EXPECT_TRUE(reader.SetReadFilePointer(offset, OxlFileReader::Begin));
  offset = 3;
  EXPECT_TRUE(reader.SetReadFilePointer(offset, OxlFileReader::Current));
  EXPECT_EQ(offset, 7);  // the new absolute position
  char c;
  unsigned int read = 0;
  ASSERT_EQ(reader.ReadFile(&c, 1, &read), 0);
  EXPECT_EQ(c, '7');
  offset = -2;
  EXPECT_FALSE(reader.SetReadFilePointer(offset, OxlFileReader::End));  // seeks, but no tracked position
  EXPECT_EQ(reader.GetFilePointer(), 8u);
}

TEST(MoveMethods, MapToStandardOrigins) {
  EXPECT_EQ(localFileReader::ToWindowsMoveMethod(OxlFileReader::Begin), SEEK_SET);
  EXPECT_EQ(localFileReader::ToWindowsMoveMethod(OxlFileReader::Current), SEEK_CUR);
  EXPECT_EQ(localFileReader::ToWindowsMoveMethod(OxlFileReader::End), SEEK_END);
  EXPECT_EQ(localFileReader::ToWindowsMoveMethod(static_cast<OxlFileReader::MoveMethod>(9)), SEEK_SET);
}

TEST(FileNames, NonAsciiNameOpensAndComesBack) {
  oxltest::TempDir dir;
  const std::string name = "caf\xC3\xA9-\xE4\xB8\xAD\xE6\x96\x87-\xF0\x9F\x8E\xAC.mov";  // café-中文-🎬
  const std::string path = dir.write(name, "xyz");
  const std::wstring wide = Wide(path);
  SimpleFileReader reader;
  ASSERT_EQ(reader.OpenFile(wide.c_str(), 0), 0);
  EXPECT_EQ(reader.GetFileName(), wide);
  EXPECT_EQ(reader.GetFileNameAnsi(), path);
  std::string narrow;
  reader.GetFileName(narrow);
  EXPECT_EQ(narrow, path);
  // The narrow path opens the same file.
  SimpleFileReader again;
  EXPECT_EQ(again.OpenFile(path.c_str(), 0), 0);
  EXPECT_EQ(again.GetFileSize(), 3u);
}

TEST(FileNames, BufferSizesAreChecked) {
  oxltest::TempDir dir;
  const std::string path = dir.write("abc", "");
  const std::wstring wide = Wide(path);
  SimpleFileReader reader;
  ASSERT_EQ(reader.OpenFile(wide.c_str(), 0), 0);
  std::vector<wchar_t> w(wide.size() + 1);
  EXPECT_EQ(reader.GetFileName(w.data(), static_cast<unsigned int>(w.size())), static_cast<int>(wide.size()));
  EXPECT_EQ(std::wstring(w.data()), wide);
  EXPECT_EQ(reader.GetFileName(w.data(), static_cast<unsigned int>(wide.size())), -2);  // no room for the terminator
  std::vector<char> n(path.size() + 1);
  EXPECT_EQ(reader.GetFileName(n.data(), static_cast<unsigned int>(n.size())), 0);
  EXPECT_EQ(std::string(n.data()), path);
  EXPECT_EQ(reader.GetFileName(n.data(), static_cast<unsigned int>(path.size())), -2);
}

TEST(FileNames, NarrowBufferTooSmallForUtf8ButNotForWide) {
  oxltest::TempDir dir;
  const std::string path = dir.write("\xC3\xA9\xC3\xA9", "");  // 2 characters, 4 bytes
  SimpleFileReader reader;
  ASSERT_EQ(reader.OpenFile(path.c_str(), 0), 0);
  const unsigned int chars = static_cast<unsigned int>(Wide(path).size());
  std::vector<char> n(chars + 1);
  EXPECT_EQ(reader.GetFileName(n.data(), chars + 1), -1);
}

TEST(BadPaths, MissingDirectoryEmptyAndSpecialFilesAreRefused) {
  oxltest::TempDir dir;
  SimpleFileReader reader;
  EXPECT_EQ(reader.OpenFile(dir.file("missing.mov").c_str(), 0), 1);
  EXPECT_EQ(reader.OpenFile(dir.path().c_str(), 0), 1);
  EXPECT_EQ(reader.OpenFile("", 0), 1);
  EXPECT_EQ(reader.OpenFile(static_cast<const wchar_t*>(nullptr), 0), 1);
  EXPECT_EQ(reader.OpenFile(static_cast<const char*>(nullptr), 0), 1);
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(reader.OpenFile(fifo.c_str(), 0), 1);  // would block forever on open
  const std::string link = dir.file("dangling");
  ASSERT_EQ(symlink(dir.file("nowhere").c_str(), link.c_str()), 0);
  EXPECT_EQ(reader.OpenFile(link.c_str(), 0), 1);
  EXPECT_FALSE(reader.IsOpen());
}

TEST(BadPaths, UnreadableFileIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  oxltest::TempDir dir;
  const std::string path = dir.write("secret.mov", "x");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  SimpleFileReader reader;
  EXPECT_EQ(reader.OpenFile(path.c_str(), 0), 1);
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
