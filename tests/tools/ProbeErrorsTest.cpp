// oxlprobe on files and command lines it cannot use: one line on standard error
// naming the file and the reason, a distinct status, never a crash.
#include <gtest/gtest.h>

#include "ProbeRun.h"
#include "support/GrowingFile.h"
#include "support/ImxFixtures.h"
#include "support/TempDir.h"

namespace oxltest {

std::string ProbeTestAs11File();

namespace {

constexpr int kUsage = 2, kCannotOpen = 3, kNotRecognised = 4, kReadFailure = 5, kCannotWrite = 6, kNoReader = 7;

// Exactly one line on standard error, starting "oxlprobe: <subject>: " and holding `reason`.
void ExpectOneLineFailure(const CommandResult& r, int status, const std::string& subject, const std::string& reason = "") {
  EXPECT_EQ(r.exitCode, status) << r.errors;
  EXPECT_EQ(r.output, "");
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors.find('\n'), r.errors.size() - 1) << r.errors;
  EXPECT_EQ(r.errors.rfind("oxlprobe: " + subject + (subject.empty() ? "" : ": "), 0), 0u) << r.errors;
  EXPECT_NE(r.errors.find(reason), std::string::npos) << r.errors;
}

TEST(ProbeErrors, UnopenableUnrecognisedAndTruncatedFiles) {
  TempDir dir;
  ExpectOneLineFailure(RunProbe("--samples", dir.file("absent.mov")), kCannotOpen, dir.file("absent.mov"));
  const std::string text = dir.write("notes.mov", "This is not a movie.\nJust some text.\n");
  ExpectOneLineFailure(RunProbe("--read", text), kNotRecognised, text);
  ExpectOneLineFailure(RunProbe("", dir.write("b.mxf", std::string(3000, 'x'))), kNotRecognised, "",
                       "no header partition");
  ExpectOneLineFailure(RunProbe("", dir.write("c.mxf", ProbeTestAs11File().substr(0, 700))), kReadFailure, "",
                       "truncated");
  ExpectOneLineFailure(RunProbe("--samples", dir.write("a.mxf", ProbeTestAs11File())), kNoReader, "",
                       "the IMX reader cannot read its frames");
  if (!HasEncoder("mjpeg")) return;
  const std::string movie = dir.file("front.mov");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -c:v mjpeg -movflags +faststart", movie);
  const std::string full = ReadWholeFile(movie);
  const std::string cut = dir.write("cut.mov", full.substr(0, full.size() * 2 / 3));
  for (const char* options : {"", "--samples --md5", "--read", "--read --reverse", "--extract /dev/null"})
    ExpectOneLineFailure(RunProbe(options, cut), kReadFailure, cut);
}

TEST(ProbeErrors, BadCommandLinesAndExtractTargets) {
  const std::string sample = ShellQuote(BundledSample());
  for (const std::string& arguments : std::vector<std::string>{"", "--bogus x.mov", "a.mov b.mov", "--md5 x.mov",
        "--samples --read x.mov", "--seek ten --read x.mov", "--seek 1 x.mov", "--read --extract - x.mov", "--extract",
        "--samples --follow 1 " + sample, "--read --reverse --follow 1 " + sample, "--read --follow -1 " + sample})
    ExpectOneLineFailure(RunProbe(arguments), kUsage, "");
  const CommandResult help = RunProbe("--help");
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option : {"--json", "--samples", "--read", "--extract", "--audio", "--reverse", "--seek", "--md5", "--follow"})
    EXPECT_NE(help.output.find(option), std::string::npos) << option;
  TempDir dir;
  const std::string out = dir.file("no-such-folder/frames.bin");
  ExpectOneLineFailure(RunProbe("--extract " + ShellQuote(out), BundledSample()), kCannotWrite, out);
  const std::string path = dir.write("copy.mov", ReadWholeFile(BundledSample()));
  ExpectOneLineFailure(RunProbe("--extract " + ShellQuote(path), path), kUsage, path);
  EXPECT_TRUE(ReadWholeFile(path) == ReadWholeFile(BundledSample()));
  if (HasFFmpegTools())
    ExpectOneLineFailure(RunProbe("--read --audio", D10Fixture().path), kNoReader, "", "no reader delivers MXF audio");
}

}  // namespace
}  // namespace oxltest
