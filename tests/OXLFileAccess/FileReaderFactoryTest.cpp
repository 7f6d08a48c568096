// Choosing and creating file readers, and sharing one under a lock.
#include <gtest/gtest.h>

#include <boost/thread/thread.hpp>
#include <memory>

#include "OXLFileAccess/FileReaderFactory.h"
#include "OXLFileAccess/LockableOxlFileReader.h"
#include "OXLFileAccess/OXLAccessHandler.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "support/TempDir.h"

TEST(FileReaderKinds, FtpCachingAndTbx) {
  FileReaderFactory factory;
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"/media/clip.mov")), 0);
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"FTP://host/clip.mov")), 2);
  EXPECT_EQ(factory.GetFileReaderType(std::string("fTp:clip")), 2);
  EXPECT_EQ(factory.GetFileReaderType(std::string("ftp")), 0);
  auto parameters = std::make_shared<ReaderFactoryParameters>();
  parameters->SetUseTbxReader(true);
  factory.Configure(parameters);
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"/media/clip.mov")), 1);
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"ftp://x")), 2);
  parameters->SetUseCaching(true);
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"ftp://x")), 3);
  factory.Configure(nullptr);  // keeps the current settings
  EXPECT_EQ(factory.GetParameters(), parameters);
}

TEST(FileReaderKinds, OnlyLocalFilesGetAReader) {
  FileReaderFactory factory;
  std::unique_ptr<COXLFileReader> local(factory.Create(std::string("/tmp/x.mov")));
  ASSERT_NE(local, nullptr);
  EXPECT_NE(dynamic_cast<SimpleFileReader*>(local.get()), nullptr);
  EXPECT_FALSE(local->IsOpen());
  EXPECT_EQ(factory.Create(std::wstring(L"FTP:/x.mov")), nullptr);
  EXPECT_EQ(factory.CreateFileReader(), nullptr);
}

TEST(ReaderFactorySettings, Defaults) {
  ReaderFactoryParameters p;
  EXPECT_FALSE(p.GetUseCaching());
  EXPECT_FALSE(p.GetUseTbxReader());
  EXPECT_EQ(p.GetTbxMinReadSize(), 65536u);
  EXPECT_EQ(p.GetTbxMaxReadSize(), 2097152u);
  EXPECT_EQ(p.GetFtpReadSize(), 2097152u);
  EXPECT_EQ(p.GetLogId(), "");
  p.SetTbxReader(true, 1, 2);
  EXPECT_TRUE(p.GetUseTbxReader());
  EXPECT_EQ(p.GetTbxMinReadSize(), 1u);
  EXPECT_EQ(p.GetTbxMaxReadSize(), 2u);
}

TEST(AccessHandler, CreatesOpenedReadersForLocalFilesOnly) {
  oxltest::TempDir dir;
  const std::string path = dir.write("a.mov", "abc");
  std::unique_ptr<COXLFileReader> reader(OXLAccessHandler::CreateFileReader(path.c_str(), 0, "log"));
  ASSERT_NE(reader, nullptr);
  EXPECT_TRUE(reader->IsOpen());
  EXPECT_EQ(reader->GetFileSize(), 3u);
  EXPECT_EQ(OXLAccessHandler::CreateFileReader(dir.file("none").c_str(), 0, "log"), nullptr);
  EXPECT_EQ(OXLAccessHandler::CreateFileReader("ftp://host/a.mov", 0, "log"), nullptr);
  EXPECT_EQ(OXLAccessHandler::CreateFileReader(static_cast<const char*>(nullptr), 0, "log"), nullptr);
}

TEST(AccessHandler, TbxSwitchDoesNotChangeTheResult) {
  oxltest::TempDir dir;
  const std::string path = dir.write("a.mov", "abc");
  OXLAccessHandler::EnableTbxReader(true, 10, 20);
  EXPECT_TRUE(OXLAccessHandler::gbEnableTbxReader);
  EXPECT_EQ(OXLAccessHandler::gdwMinRead, 10u);
  EXPECT_EQ(OXLAccessHandler::gdwMaxRead, 20u);
  std::unique_ptr<COXLFileReader> reader(OXLAccessHandler::CreateFileReader(path.c_str(), 0, "log"));
  EXPECT_NE(reader, nullptr);
  OXLAccessHandler::EnableTbxReader(false, 1, 2);  // disabling keeps the sizes
  EXPECT_FALSE(OXLAccessHandler::gbEnableTbxReader);
  EXPECT_EQ(OXLAccessHandler::gdwMinRead, 10u);
  OXLAccessHandler::EnableTbxReader(false, 65536, 2097152);
  OXLAccessHandler::gdwMinRead = 65536;
  OXLAccessHandler::gdwMaxRead = 2097152;
}

TEST(LockableReader, ForwardsAndOutlivesItsCreatorsPointer) {
  oxltest::TempDir dir;
  const std::string path = dir.write("a.mov", "0123456789");
  auto inner = std::make_shared<SimpleFileReader>();
  ASSERT_EQ(inner->OpenFile(path.c_str(), 0), 0);
  auto lockable = std::make_shared<LockableOxlFileReader>(inner);
  inner.reset();
  unsigned long offset = 8;
  ASSERT_EQ(lockable->SetFilePointer(offset), 0);
  char buf[4];
  unsigned int read = 0;
  ASSERT_EQ(lockable->ReadFile(buf, 4, &read), 0);
  EXPECT_EQ(std::string(buf, read), "89");
  EXPECT_EQ(lockable->GetFileSize(), 10u);
  EXPECT_EQ(lockable->GetFileNameAnsi(), path);
  EXPECT_THROW(LockableOxlFileReader(nullptr), std::invalid_argument);
}

TEST(LockableReader, MutexSerialisesSeekAndReadAcrossThreads) {
  oxltest::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>(i % 251));
  const std::string path = dir.write("a.bin", bytes);
  auto inner = std::make_shared<SimpleFileReader>();
  ASSERT_EQ(inner->OpenFile(path.c_str(), 0), 0);
  LockableOxlFileReader shared(inner);
  std::atomic<int> mismatches{0};
  auto worker = [&](unsigned long first) {
    for (unsigned long off = first; off < 4000; off += 7) {
      boost::unique_lock<boost::mutex> lock(*shared.GetMutex());
      unsigned long target = off;
      char c = 0;
      unsigned int read = 0;
      if (shared.SetFilePointer(target) != 0 || shared.ReadFile(&c, 1, &read) != 0 ||
          static_cast<unsigned char>(c) != off % 251)
        ++mismatches;
    }
  };
  boost::thread a(worker, 0), b(worker, 3);
  a.join();
  b.join();
  EXPECT_EQ(mismatches.load(), 0);
}
