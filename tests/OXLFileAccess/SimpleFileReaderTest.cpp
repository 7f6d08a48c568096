// The local file reader: opening, reading, positioning and names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "OXLFileAccess/SimpleFileReader.h"
#include "OxlTbx/TextEncoding.h"
#include "support/TempDir.h"

namespace {

std::string Read(SimpleFileReader& reader, unsigned int size, int expected = 0) {
  char buf[32] = {};
  unsigned int read = 99;
  EXPECT_EQ(reader.ReadFile(buf, size, &read), expected);
  return std::string(buf, std::min(read, size));
}

}  // namespace

TEST(SimpleFileReader, NeverOpenedAnswersMinusOne) {
  SimpleFileReader reader;
  EXPECT_EQ(reader.GetFileSize(), ~0UL);
  EXPECT_TRUE(reader.IsFileEnd());  // position 0 >= size -1 when compared signed
  char buf[4];
  unsigned int read = 0;
  EXPECT_EQ(reader.ReadFile(buf, 4, &read), -1);
  unsigned long offset = 0;
  EXPECT_EQ(reader.SetFilePointer(offset), -1);
  EXPECT_EQ(reader.MoveFilePointer(1), -1);
}

// A short read succeeds; reading at the end closes until a good seek, and
// finds what a file still being written gained since.
TEST(SimpleFileReader, ShortReadEndOfFileSeeksAndGrowth) {
  oxltest::TempDir dir;
  SimpleFileReader reader;
  ASSERT_EQ(reader.OpenFile(dir.write("data.bin", "0123456789").c_str(), 0), 0);
  EXPECT_EQ(reader.GetFileSize(), 10u);
  EXPECT_EQ(Read(reader, 6), "012345");
  EXPECT_FALSE(reader.IsFileEnd());
  EXPECT_EQ(Read(reader, 16), "6789");
  EXPECT_TRUE(reader.IsFileEnd());
  EXPECT_EQ(Read(reader, 16, 1), "");
  EXPECT_FALSE(reader.IsOpen());
  std::FILE* out = std::fopen(dir.file("data.bin").c_str(), "ab");
  ASSERT_NE(out, nullptr);
  std::fputs("abc", out);
  std::fclose(out);
  EXPECT_EQ(Read(reader, 16), "abc");
  EXPECT_EQ(reader.MoveFilePointer(-100), 1);
  EXPECT_FALSE(reader.IsOpen());
  unsigned long offset = 3;
  ASSERT_EQ(reader.SetFilePointer(offset), 0);  // a good seek reopens
  EXPECT_EQ(Read(reader, 2), "34");
  long relative = 3;
  EXPECT_TRUE(reader.SetReadFilePointer(relative, OxlFileReader::Current));
  EXPECT_EQ(relative, 8);  // the new absolute position
  relative = -2;
  EXPECT_FALSE(reader.SetReadFilePointer(relative, OxlFileReader::End));  // seeks, but no tracked position
  EXPECT_EQ(Read(reader, 1), "b");
}

TEST(SimpleFileReader, NonAsciiNamesComeBackInBuffersOfCheckedSize) {
  oxltest::TempDir dir;
  const std::string path = dir.write("caf\xC3\xA9-\xE4\xB8\xAD-\xF0\x9F\x8E\xAC.mov", "xyz");
  const std::wstring wide = TextEncoding::Unicode::get(path, 0);
  SimpleFileReader reader;
  ASSERT_EQ(reader.OpenFile(wide.c_str(), 0), 0);
  EXPECT_EQ(reader.GetFileNameAnsi(), path);
  std::vector<wchar_t> w(wide.size() + 1);
  EXPECT_EQ(reader.GetFileName(w.data(), static_cast<unsigned int>(w.size())), static_cast<int>(wide.size()));
  EXPECT_EQ(std::wstring(w.data()), wide);
  EXPECT_EQ(reader.GetFileName(w.data(), static_cast<unsigned int>(wide.size())), -2);  // no room for the terminator
  std::vector<char> n(path.size() + 1);
  EXPECT_EQ(reader.GetFileName(n.data(), static_cast<unsigned int>(n.size())), 0);
  EXPECT_EQ(reader.GetFileName(n.data(), static_cast<unsigned int>(wide.size() + 1)), -1);  // too small for UTF-8
}

TEST(SimpleFileReader, MissingDirectorySpecialAndUnreadableFilesAreRefused) {
  oxltest::TempDir dir;
  SimpleFileReader reader;
  EXPECT_EQ(reader.OpenFile(dir.file("missing.mov").c_str(), 0), 1);
  EXPECT_EQ(reader.OpenFile(dir.path().c_str(), 0), 1);
  EXPECT_EQ(reader.OpenFile(static_cast<const wchar_t*>(nullptr), 0), 1);
  ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
  EXPECT_EQ(reader.OpenFile(dir.file("pipe").c_str(), 0), 1);  // would block forever on open
  if (geteuid() == 0) return;  // permissions do not bind root
  const std::string secret = dir.write("secret.mov", "x");
  ASSERT_EQ(chmod(secret.c_str(), 0), 0);
  EXPECT_EQ(reader.OpenFile(secret.c_str(), 0), 1);
}

TEST(FileChrono, ArmsKeepsAShortenedLabelAndDisarms) {
  COXLFileReader::CFileChrono chrono("log");
  chrono.Start(std::string(200, 'x').c_str(), 400);
  EXPECT_TRUE(chrono.IsArmed());
  EXPECT_EQ(std::string(chrono.GetLabel()).size(), 126u);
  chrono.Stop();
  EXPECT_FALSE(chrono.IsArmed());
}
