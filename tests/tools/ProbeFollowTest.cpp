// oxlprobe --follow on a fragmented movie a recorder is still writing: the
// movie atom first, then each fragment in two writes, a fragment every 0.3 s.
// Each group is listed once as it arrives, and oxlprobe stops once the file
// stops growing.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ProbeRun.h"
#include "support/GrowingFile.h"
#include "support/QtMovieAtoms.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(ProbeFollow, FragmentedMovieDeliversEachGroupOnceAndStops) {
  if (!HasEncoder("libx264")) GTEST_SKIP() << "ffmpeg without libx264";
  TempDir dir;
  const std::string source = dir.file("recorded.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25 -t 1.2 -c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p "
                   "-movflags frag_keyframe+empty_moov", source);
  const ProbeResult probe = ProbeFile(source);
  std::vector<std::string> groups;  // a key frame and the frames up to the next
  for (const ProbePacket& p : probe.Packets("v:0")) {
    if (p.IsKey() || groups.empty()) groups.emplace_back();
    groups.back() += ReadFileBytes(source, p.pos.value_or(0), p.size);
  }
  const FragmentedLayout layout = SplitFragments(ReadWholeFile(source));
  const GrowingFile live(dir.file("live.mp4"), layout.head);
  const auto start = std::chrono::steady_clock::now();
  std::thread writer([&] {
    for (const auto& fragment : layout.fragments) {
      Pause(300);
      live.Append(fragment.bytes.substr(0, fragment.bytes.size() / 2));
      Pause(150);
      live.Append(fragment.bytes.substr(fragment.bytes.size() / 2));
    }
  });
  const CommandResult r = RunProbe("--read --json --md5 --follow 2", live.path());
  writer.join();
  EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const std::vector<nlohmann::json> lines = JsonLines(r.output);
  ASSERT_EQ(lines.size(), groups.size());
  ExpectMd5s(lines, 0, 1, [&](size_t i) { return Md5Hash(groups[i]); });
}

}  // namespace
}  // namespace oxltest
