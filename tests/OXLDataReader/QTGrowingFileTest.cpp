// A fragmented file FFmpeg made, written again one step at a time, each step
// ending inside a fragment; after each the reader reads to the end. It must
// deliver nothing of a fragment until a step completes it, and in all
// ffprobe's frames of the finished file, each once, in order.
#include <gtest/gtest.h>

#include <ctime>

#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/GrowingFile.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace qtfiles;

namespace {

const size_t kMany = 10000;  // more deliveries than any of these files has

// H.264 and AAC in fragments of one group of pictures each, closed by the
// random access table FFmpeg writes when a recording ends. The first write
// of fragment k ends inside its "moof" for even k, inside its first video
// frame for odd k. The video reader takes its own runs and passes the sound ones over.
class GrowingFragmentedFile : public testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::string> steps = {"-f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i "
                                            "sine=frequency=1000:sample_rate=48000 -c:a aac -t 1.2 -c:v libx264 -bf 2 "
                                            "-g 10 -pix_fmt yuv420p -movflags frag_keyframe+empty_moov"};
    m_Fixture = FindMediaFixture("growing_h264_aac.mp4", steps);
    if (!m_Fixture) {
      if (!HasFFmpegTools() || !HasEncoder("libx264")) GTEST_SKIP() << "ffmpeg with libx264 needed";
      m_Fixture = &GetMediaFixture("growing_h264_aac.mp4", steps);
    }
    m_Layout = SplitFragments(ReadWholeFile(m_Fixture->path));
    ASSERT_GE(m_Layout.fragments.size(), 3u);
    m_File.reset(new GrowingFile(m_Dir.file("growing.mp4"), m_Layout.head));
  }

  bool InFragment(uint64_t pos, size_t k) const {
    const auto& f = m_Layout.fragments[k];
    return pos >= f.offset && pos < f.offset + f.bytes.size();
  }

  size_t CutPoint(size_t k) const {
    if (k % 2 == 0) return 16;
    for (const auto& p : m_Fixture->probe.Packets("v:0"))
      if (InFragment(p.pos.value_or(0), k)) return size_t(p.pos.value_or(0) - m_Layout.fragments[k].offset + p.size / 2);
    throw std::runtime_error("a fragment without video");
  }

  CapturingLogger m_Log;  // the reader logs the fragments it cannot read yet
  TempDir m_Dir;
  const MediaFixture* m_Fixture = nullptr;
  FragmentedLayout m_Layout;
  std::unique_ptr<GrowingFile> m_File;
};

}  // namespace

// The reader scans for new fragments once a second of processor time has
// passed: a fragment whose "moof" the last scan found whole needs only its
// data, one whose "moof" was cut waits for the next scan.
TEST_F(GrowingFragmentedFile, TopLevelScanDeliversEveryFrameOnceInOrder) {
  CQTDataReader reader(OXLDataReader::Video_Data, "growing");
  ASSERT_EQ(reader.Open(m_File->path().c_str(), false), 0);
  const auto expected = ExpectedVideoDeliveries(*m_Fixture, true);
  const auto& packets = m_Fixture->probe.Packets("v:0");
  std::vector<Delivery> all = ReadForward(reader, kMany);
  EXPECT_TRUE(all.empty()) << "the file holds no complete fragment yet";
  for (size_t step = 0; step <= m_Layout.fragments.size(); ++step) {
    SCOPED_TRACE("after growth step " + std::to_string(step));
    if (step > 0) m_File->Append(m_Layout.fragments[step - 1].bytes.substr(CutPoint(step - 1)));
    if (step < m_Layout.fragments.size()) m_File->Append(m_Layout.fragments[step].bytes.substr(0, CutPoint(step)));
    std::vector<Delivery> round;
    if (step > 0) {
      round = ReadForward(reader, kMany);
      EXPECT_TRUE((step - 1) % 2 == 1 || round.empty()) << "a new fragment shows before a second of processor time";
      for (const std::clock_t start = std::clock(); double(std::clock() - start) / CLOCKS_PER_SEC <= 1.05;) {
      }
    }
    const auto more = ReadForward(reader, kMany);
    round.insert(round.end(), more.begin(), more.end());
    size_t inFragment = 0;
    for (const auto& d : expected) inFragment += step > 0 && InFragment(packets[d.first].pos.value_or(0), step - 1);
    EXPECT_EQ(round.size(), inFragment);
    all.insert(all.end(), round.begin(), round.end());
  }
  ASSERT_EQ(all.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Md5Hash(all[i].bytes), expected[i].md5) << "delivery " << i;
    EXPECT_NEAR(all[i].time, expected[i].pts, 0.02) << "delivery " << i;
  }
}
