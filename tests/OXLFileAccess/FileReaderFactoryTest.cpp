// Choosing and creating file readers, and sharing one under a lock.
#include <gtest/gtest.h>

#include <boost/thread/thread.hpp>
#include <memory>

#include "OXLFileAccess/FileReaderFactory.h"
#include "OXLFileAccess/LockableOxlFileReader.h"
#include "OXLFileAccess/OXLAccessHandler.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "support/TempDir.h"

TEST(FileReaderFactory, KindsByPathAndSettingsButOnlyLocalReaders) {
  FileReaderFactory factory;
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"/media/clip.mov")), 0);
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"FTP://host/clip.mov")), 2);
  EXPECT_EQ(factory.GetFileReaderType(std::string("ftp")), 0);
  auto parameters = std::make_shared<ReaderFactoryParameters>();
  parameters->SetTbxReader(true, 1, 2);
  factory.Configure(parameters);
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"/media/clip.mov")), 1);
  parameters->SetUseCaching(true);
  EXPECT_EQ(factory.GetFileReaderType(std::wstring(L"ftp://x")), 3);
  EXPECT_EQ(factory.Create(std::wstring(L"FTP:/x.mov")), nullptr);
}

TEST(AccessHandler, CreatesOpenedReadersForLocalFilesOnlyWhateverTheTbxSwitch) {
  oxltest::TempDir dir;
  const std::string path = dir.write("a.mov", "abc");
  for (bool tbx : {false, true}) {
    OXLAccessHandler::EnableTbxReader(tbx, 10, 20);
    std::unique_ptr<COXLFileReader> reader(OXLAccessHandler::CreateFileReader(path.c_str(), 0, "log"));
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(reader->IsOpen());
    EXPECT_EQ(reader->GetFileSize(), 3u);
    EXPECT_EQ(OXLAccessHandler::CreateFileReader(dir.file("none").c_str(), 0, "log"), nullptr);
    EXPECT_EQ(OXLAccessHandler::CreateFileReader("ftp://host/a.mov", 0, "log"), nullptr);
  }
  OXLAccessHandler::EnableTbxReader(false, 1, 2);  // disabling keeps the sizes
  EXPECT_FALSE(OXLAccessHandler::gbEnableTbxReader);
  EXPECT_EQ(OXLAccessHandler::gdwMinRead, 10u);
  EXPECT_EQ(OXLAccessHandler::gdwMaxRead, 20u);
  OXLAccessHandler::gdwMinRead = 65536;
  OXLAccessHandler::gdwMaxRead = 2097152;
}

TEST(LockableReader, ForwardsOutlivesItsCreatorsPointerAndSerialisesThreads) {
  oxltest::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>(i % 251));
  const std::string path = dir.write("a.bin", bytes);
  auto inner = std::make_shared<SimpleFileReader>();
  ASSERT_EQ(inner->OpenFile(path.c_str(), 0), 0);
  LockableOxlFileReader shared(inner);
  inner.reset();
  EXPECT_EQ(shared.GetFileSize(), 4096u);
  EXPECT_THROW(LockableOxlFileReader(nullptr), std::invalid_argument);
  std::atomic<int> mismatches{0};
  auto worker = [&](unsigned long first) {
    for (unsigned long off = first; off < 4096; off += 7) {
      boost::unique_lock<boost::mutex> lock(*shared.GetMutex());
      unsigned long target = off;
      char c[2] = {};
      unsigned int read = 0;
      if (shared.SetFilePointer(target) != 0 || shared.ReadFile(c, 2, &read) != 0 ||
          static_cast<unsigned char>(c[0]) != off % 251 || read != (off == 4095 ? 1u : 2u))
        ++mismatches;
    }
  };
  boost::thread a(worker, 0), b(worker, 3);
  a.join();
  b.join();
  EXPECT_EQ(mismatches.load(), 0);
}
