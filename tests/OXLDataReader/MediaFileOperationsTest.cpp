// Moving, copying and deleting clips on real directories. Sources must be
// drive-letter or network paths, which this platform takes as plain names:
// the tests work inside a temporary directory made the current one, where
// "C:\clips\a.mov" is a file of that name.
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <set>
#include <vector>

#include "OXLDataReader/OXLMediaFileOperations.h"
#include "OxlTbx/TextEncoding.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/GrowingFile.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

namespace fs = boost::filesystem;
using namespace oxltest;
using namespace OXLDataReader;
using Files = std::list<std::wstring>;

namespace {

class MediaFileOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::current_path(dir.path());
    fs::create_directory("dest");
  }
  void TearDown() override { fs::current_path(previous); }

  void Write(const std::string& name, const std::string& bytes) const { dir.write(name, bytes); }
  static std::set<std::string> Entries(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
  }
  // A reference movie "C:\clips\ref.mov" whose video lies in "C:\clips\media.mov".
  void WriteReferenceClip() const {
    QtWriterTrack t;
    t.sizes = {100};
    t.offsets = {0};
    t.stsd = VideoStsd("apcn", 720, 576);
    t.drefEntry = UrlDrefEntry("media.mov");
    Write("C:\\clips\\ref.mov", QtFile("", {t}, false));
    Write("C:\\clips\\media.mov", std::string(100, 'm'));
  }

  CapturingLogger quiet;
  TempDir dir;
  const std::string previous = fs::current_path().string(), destination = dir.file("dest");
};

std::wstring W(const std::string& utf8) { return TextEncoding::Unicode::get8(utf8); }

MediaFileRetry RecordingRetry(std::vector<unsigned int>& waits, std::function<void()> onWait = nullptr) {
  MediaFileRetry retry;
  retry.wait = [&waits, onWait](unsigned int seconds) {
    waits.push_back(seconds);
    if (onWait) onWait();
  };
  return retry;
}

}  // namespace

TEST_F(MediaFileOperationsTest, InvalidateRenamesExistingFilesOnly) {
  fs::create_directory("sub");
  Write("sub/a.wav", "a");
  Write("C:\\clips\\b.wav", "b");
  Files files{L"sub/a.wav", L"missing.wav", L"C:\\clips\\b.wav"};
  EXPECT_TRUE(InvalidateFileName(files));
  EXPECT_EQ(files, (Files{L"sub/~~a.wav", L"missing.wav", L"C:\\clips\\~~b.wav"}));
  EXPECT_EQ(ReadWholeFile("sub/~~a.wav"), "a");
  EXPECT_EQ(Entries("sub"), std::set<std::string>{"~~a.wav"});
}

TEST_F(MediaFileOperationsTest, MoveTakesTheReferencedMediaAlong) {
  WriteReferenceClip();
  const std::string movie = ReadWholeFile("C:\\clips\\ref.mov");
  EXPECT_EQ(MoveMediaFile("C:\\clips\\ref.mov", (destination + "//").c_str()), 1);
  EXPECT_EQ(Entries(destination), (std::set<std::string>{"media.mov", "ref.mov"}));
  EXPECT_EQ(ReadWholeFile(destination + "/ref.mov"), movie);
  EXPECT_EQ(Entries("."), std::set<std::string>{"dest"});  // nothing left, under any name

  // Moving with renaming ends like a move; a drive-letter destination joins with a backslash.
  Write("\\\\srv\\take_3D0.bin", "eye 0");
  Write("\\\\srv\\take_3D1.bin", "eye 1");
  EXPECT_EQ(ProcessMediaFile(MoveWithRenaming_ProcessMode, L"\\\\srv\\take_3D0.bin", W(destination).c_str()), 1);
  EXPECT_EQ(ReadWholeFile(destination + "/take_3D1.bin"), "eye 1");
  Write("C:\\a.bin", "a");
  EXPECT_EQ(MoveMediaFile(L"C:\\a.bin", L"D:\\out\\"), 1);
  EXPECT_EQ(ReadWholeFile("D:\\out\\a.bin"), "a");
  EXPECT_EQ(Entries("."), (std::set<std::string>{"D:\\out\\a.bin", "dest"}));
  EXPECT_EQ(Entries(destination), (std::set<std::string>{"media.mov", "ref.mov", "take_3D0.bin", "take_3D1.bin"}));
}

// A copy leaves the clip and replaces old copies; a deletion removes the clip
// or a directory.
TEST_F(MediaFileOperationsTest, CopyAndDelete) {
  WriteReferenceClip();
  Write("dest/media.mov", "old copy");
  EXPECT_EQ(CopyMediaFile("C:\\clips\\ref.mov", destination.c_str()), 1);
  EXPECT_EQ(ReadWholeFile(destination + "/media.mov"), std::string(100, 'm'));
  EXPECT_EQ(ReadWholeFile(destination + "/ref.mov"), ReadWholeFile("C:\\clips\\ref.mov"));
  EXPECT_EQ(Entries("."), (std::set<std::string>{"C:\\clips\\media.mov", "C:\\clips\\ref.mov", "dest"}));
  EXPECT_EQ(CopyMediaFile("C:\\clips\\ref.mov", dir.file("none").c_str()), 0);  // no such directory
  EXPECT_EQ(DeleteMediaFile("C:\\clips\\ref.mov"), 1);  // with its media
  fs::create_directories("C:\\folder/deep");
  Write("C:\\folder/deep/f", "f");
  EXPECT_EQ(DeleteMediaFile(L"C:\\folder"), 1);
  EXPECT_EQ(Entries("."), std::set<std::string>{"dest"});
  EXPECT_EQ(DeleteMediaFile(L"C:\\gone.bin"), 0);  // nothing to remove
}

TEST_F(MediaFileOperationsTest, RefusedSourcesTouchNothing) {
  Write("clip.mov", "c");
  const std::wstring posix = W(dir.file("clip.mov"));
  EXPECT_EQ(MoveMediaFile(posix.c_str(), W(destination).c_str()), 0);
  EXPECT_EQ(CopyMediaFile("clip.mov", destination.c_str()), 0);
  EXPECT_EQ(DeleteMediaFile(L"C:"), 0);
  Write("C:\\c.mov", "c");
  EXPECT_EQ(MoveMediaFile(L"C:\\c.mov", nullptr), 0);  // a move needs a destination
  EXPECT_EQ(Entries("."), (std::set<std::string>{"C:\\c.mov", "clip.mov", "dest"}));
  EXPECT_TRUE(Entries(destination).empty());
  EXPECT_NE(QelFailure([&] { MoveMediaFile(L"C:\\gone.mov", W(destination).c_str()); }), "<no failure>");
}

// A clip whose second eye cannot be renamed out of the way (a file cannot
// take a directory's name): six attempts, each giving the first eye its name
// back; a retry after the file is freed succeeds.
TEST_F(MediaFileOperationsTest, FilesInUseAreRetriedThenLeftAloneOrDoneWhenFreed) {
  Write("C:\\x_3D0.bin", "0");
  Write("C:\\x_3D1.bin", "1");
  fs::create_directories("C:\\~~x_3D1.bin/in use");
  std::vector<unsigned int> waits;
  EXPECT_EQ(ProcessMediaFile(Move_ProcessMode, L"C:\\x_3D0.bin", W(destination).c_str(), RecordingRetry(waits)), 0);
  EXPECT_EQ(waits, std::vector<unsigned int>(5, 500));
  EXPECT_EQ(ReadWholeFile("C:\\x_3D0.bin") + ReadWholeFile("C:\\x_3D1.bin"), "01");
  EXPECT_TRUE(Entries(destination).empty());
  fs::remove_all("C:\\~~x_3D1.bin");
  fs::create_directories("C:\\~~x_3D1.bin");
  waits.clear();
  const MediaFileRetry retry = RecordingRetry(waits, [] { fs::remove("C:\\~~x_3D1.bin"); });
  EXPECT_EQ(ProcessMediaFile(Delete_ProcessMode, L"C:\\x_3D0.bin", nullptr, retry), 1);
  EXPECT_EQ(waits.size(), 1u);
  EXPECT_EQ(Entries("."), std::set<std::string>{"dest"});
}
