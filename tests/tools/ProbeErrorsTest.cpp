// oxlprobe on files it cannot use and command lines it cannot follow: one
// line on standard error naming the file and the reason, a distinct status,
// and never a crash.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

constexpr int kUsage = 2, kCannotOpen = 3, kNotRecognised = 4, kReadFailure = 5, kCannotWrite = 6;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The failure is exactly one line that starts with "oxlprobe: <subject>: ".
void ExpectOneLineFailure(const CommandResult& r, int status, const std::string& subject) {
  EXPECT_EQ(r.exitCode, status) << r.errors;
  EXPECT_EQ(r.output, "");
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors.find('\n'), r.errors.size() - 1) << r.errors;
  EXPECT_EQ(r.errors.rfind("oxlprobe: " + subject + ": ", 0), 0u) << r.errors;
}

class BadInput : public ::testing::Test {
 protected:
  CommandResult Probe(const std::string& options, const std::string& path) {
    return RunProbe(options + " " + ShellQuote(path));
  }
  // A short intra-frame movie; with faststart its movie atom comes first.
  std::string MakeMovie(const std::string& name, bool movieAtomFirst) {
    const std::string path = m_Dir.file(name);
    MakeMediaFixture(std::string("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -c:v mjpeg") +
                         (movieAtomFirst ? " -movflags +faststart" : ""),
                     path);
    return path;
  }
  std::string Truncated(const std::string& path, size_t keep) {
    return m_Dir.write("cut-" + std::to_string(keep) + ".mov", FileBytes(path).substr(0, keep));
  }

  TempDir m_Dir;
};

TEST_F(BadInput, ADirectoryCannotBeOpened) {
  ExpectOneLineFailure(Probe("", m_Dir.path()), kCannotOpen, m_Dir.path());
}

TEST_F(BadInput, AMissingFileCannotBeOpened) {
  const std::string path = m_Dir.file("absent.mov");
  ExpectOneLineFailure(Probe("--samples", path), kCannotOpen, path);
}

TEST_F(BadInput, AnEmptyFileIsNotRecognised) {
  const std::string path = m_Dir.write("empty.mov", "");
  ExpectOneLineFailure(Probe("", path), kNotRecognised, path);
}

TEST_F(BadInput, ATextFileIsNotRecognised) {
  const std::string path = m_Dir.write("notes.mov", "This is not a movie.\nJust some text.\n");
  ExpectOneLineFailure(Probe("--json", path), kNotRecognised, path);
  ExpectOneLineFailure(Probe("--read", path), kNotRecognised, path);
}

TEST_F(BadInput, AMovieCutBeforeItsMovieAtomIsNotRecognised) {
  const std::string path = Truncated(MakeMovie("end.mov", false), 3000);
  ExpectOneLineFailure(Probe("", path), kNotRecognised, path);
}

TEST_F(BadInput, AMovieCutInItsSampleDataFailsAsTruncated) {
  const std::string full = MakeMovie("front.mov", true);
  const std::string path = Truncated(full, FileBytes(full).size() * 2 / 3);
  for (const char* options : {"", "--samples --md5", "--read", "--read --reverse", "--extract /dev/null"}) {
    SCOPED_TRACE(options);
    ExpectOneLineFailure(Probe(options, path), kReadFailure, path);
  }
}

TEST_F(BadInput, GarbageAfterTheFileTypeNeverCrashes) {
  std::string bytes = FileBytes(MakeMovie("base.mov", true));
  for (size_t i = 40; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  const std::string path = m_Dir.write("scrambled.mov", bytes);
  for (const char* options : {"", "--samples --md5", "--read --md5", "--read --reverse"}) {
    const CommandResult r = Probe(options, path);
    EXPECT_GE(r.exitCode, 0) << options << ": killed by a signal";
    EXPECT_LE(r.exitCode, kReadFailure) << options << ": " << r.errors;
    if (r.exitCode != 0) {
      EXPECT_EQ(r.errors.find('\n'), r.errors.size() - 1) << options << ": " << r.errors;
    }
  }
}

TEST(BadCommandLine, IsAUsageErrorOnOneLine) {
  for (const char* arguments : {"", "--bogus x.mov", "a.mov b.mov", "--md5 x.mov", "--samples --read x.mov",
                                "--seek ten --read x.mov", "--seek 1 x.mov", "--read --extract - x.mov",
                                "--extract"}) {
    const CommandResult r = RunProbe(arguments);
    EXPECT_EQ(r.exitCode, kUsage) << arguments;
    EXPECT_EQ(r.output, "") << arguments;
    EXPECT_EQ(r.errors.find('\n'), r.errors.size() - 1) << arguments << ": " << r.errors;
  }
}

TEST(BadCommandLine, HelpListsTheOptionsAndSucceeds) {
  const CommandResult r = RunProbe("--help");
  EXPECT_EQ(r.exitCode, 0);
  for (const char* option : {"--json", "--samples", "--read", "--extract", "--audio", "--reverse", "--seek", "--md5"}) {
    EXPECT_NE(r.output.find(option), std::string::npos) << option;
  }
}

TEST(ExtractTarget, AnUnwritableOutputFailsAsCannotWrite) {
  TempDir dir;
  const std::string out = dir.file("no-such-folder/frames.bin");
  const CommandResult r = RunProbe("--extract " + ShellQuote(out) + " " + ShellQuote(BundledSample()));
  ExpectOneLineFailure(r, kCannotWrite, out);
}

TEST(ExtractTarget, TheMovieItselfIsRefusedAndKept) {
  TempDir dir;
  const std::string path = dir.write("copy.mov", FileBytes(BundledSample()));
  const CommandResult r = RunProbe("--extract " + ShellQuote(path) + " " + ShellQuote(path));
  ExpectOneLineFailure(r, kUsage, path);
  EXPECT_EQ(FileBytes(path), FileBytes(BundledSample()));
}

}  // namespace
}  // namespace oxltest
