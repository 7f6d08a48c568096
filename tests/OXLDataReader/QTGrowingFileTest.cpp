// Files that grow while they are read. A writer thread rebuilds a file that
// FFmpeg made (or, for a reference movie, its media file) in a new file, one
// step at a time; after each step the reader reads to the end of the data.
// Every step ends inside a fragment (or a frame), so the reader meets a
// "moof" or a sample cut short at every step and must deliver nothing of it
// until a later step completes it. Whatever the steps, the frames delivered
// must be those ffprobe finds in the finished file, each once, in order.
#include <gtest/gtest.h>

#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/GrowingFile.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace qtfiles;

namespace {

const size_t kMany = 10000;  // more deliveries than any of these files has

// Runs growth steps on a thread of its own, each when the reader asks for it,
// so that every step is seen by the reader on its own.
class GrowthThread {
 public:
  explicit GrowthThread(std::vector<std::function<void()>> steps)
      : m_Steps(std::move(steps)), m_Thread([this] { Run(); }) {}
  ~GrowthThread() {
    {
      std::lock_guard<std::mutex> lock(m_Mutex);
      m_bStop = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
  }
  GrowthThread(const GrowthThread&) = delete;
  GrowthThread& operator=(const GrowthThread&) = delete;

  // Has the next step run and waits for it; false when none is left.
  bool Step() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (m_Requested == m_Steps.size()) return false;
    ++m_Requested;
    m_Changed.notify_all();
    m_Changed.wait(lock, [this] { return m_Done == m_Requested; });
    if (!m_Error.empty()) ADD_FAILURE() << "growth step failed: " << m_Error;
    return m_Error.empty();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    for (;;) {
      m_Changed.wait(lock, [this] { return m_bStop || m_Done < m_Requested; });
      if (m_bStop) return;
      lock.unlock();
      std::string error;
      try {
        m_Steps[m_Done]();
      } catch (const std::exception& e) {
        error = e.what();
      }
      lock.lock();
      m_Error = error;
      ++m_Done;
      m_Changed.notify_all();
    }
  }

  std::vector<std::function<void()>> m_Steps;
  std::mutex m_Mutex;
  std::condition_variable m_Changed;
  size_t m_Requested = 0, m_Done = 0;
  bool m_bStop = false;
  std::string m_Error;
  std::thread m_Thread;
};

// A host that learns of each fragment as the recording writes it.
class RecorderInformer : public CQTDataReader::IFragmentIndexInformer {
 public:
  void Tell(const CQTDataReader::MoofInfo& info) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Known.push_back(info);
  }
  bool HasNextFragment() override {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return !m_Known.empty();
  }
  CQTDataReader::MoofInfo GetNextFragment() override {
    std::lock_guard<std::mutex> lock(m_Mutex);
    const CQTDataReader::MoofInfo info = m_Known.front();
    m_Known.pop_front();
    return info;
  }

 private:
  std::mutex m_Mutex;
  std::deque<CQTDataReader::MoofInfo> m_Known;
};

// The reader's scan for new fragments waits for a second of processor time.
void ConsumeProcessorTime(double seconds) {
  const std::clock_t start = std::clock();
  while (double(std::clock() - start) / CLOCKS_PER_SEC <= seconds) {
  }
}

// The first write of fragment k: even ones end inside the "moof", odd ones
// inside its first video frame.
bool MoofWasCut(size_t k) { return k % 2 == 0; }

// Fixtures: H.264 in fragments of one group of pictures each, closed by the
// random access table FFmpeg writes when a recording ends.
std::vector<std::string> FragmentedRecipe(bool withSound) {
  std::string step = "-f lavfi -i testsrc=size=64x48:rate=25 ";
  if (withSound) step += "-f lavfi -i sine=frequency=1000:sample_rate=48000 -c:a aac ";
  return {step + "-t 1.2 -c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p -movflags frag_keyframe+empty_moov"};
}

class GrowingFragmentedFile : public testing::Test {
 protected:
  void Prepare(const std::string& name, bool withSound) {
    const auto steps = FragmentedRecipe(withSound);
    m_Fixture = FindMediaFixture(name, steps);
    if (!m_Fixture) {
      if (!HasFFmpegTools() || !HasEncoder("libx264")) GTEST_SKIP() << "ffmpeg with libx264 needed";
      m_Fixture = &GetMediaFixture(name, steps);
    }
    m_Source = ReadWholeFile(m_Fixture->path);
    m_Layout = SplitFragments(m_Source);
    ASSERT_GE(m_Layout.fragments.size(), 3u);
    m_File.reset(new GrowingFile(m_Dir.file("growing.mp4"), m_Layout.head));
  }

  size_t CutPoint(size_t k) const {
    const auto& fragment = m_Layout.fragments[k];
    if (MoofWasCut(k)) return 16;
    for (const auto& p : m_Fixture->probe.Packets("v:0")) {
      const uint64_t pos = p.pos.value_or(0);
      if (pos >= fragment.offset && pos < fragment.offset + fragment.bytes.size())
        return size_t(pos - fragment.offset + p.size / 2);
    }
    throw std::runtime_error("a fragment without video");
  }

  // Step k completes fragment k - 1 and writes the first part of fragment k,
  // then tells `informer` (when given) of fragment k.
  std::vector<std::function<void()>> Steps(RecorderInformer* informer) const {
    std::vector<std::function<void()>> steps;
    const auto& fragments = m_Layout.fragments;
    const std::vector<TfraEntry> table = informer ? ReadTfraEntries(m_Source) : std::vector<TfraEntry>();
    const qel::EditRate rate(uint32_t(m_Fixture->probe.Stream("v:0").timeBaseDen), 1);
    for (size_t k = 0; k <= fragments.size(); ++k) {
      steps.push_back([this, k, informer, table, rate, &fragments] {
        if (k > 0) m_File->Append(fragments[k - 1].bytes.substr(CutPoint(k - 1)));
        if (k == fragments.size()) return;
        m_File->Append(fragments[k].bytes.substr(0, CutPoint(k)));
        if (informer) informer->Tell({qel::MediaTime(rate, int64_t(table.at(k).time)), table.at(k).moofOffset});
      });
    }
    return steps;
  }

  // How many video deliveries start in each fragment.
  std::vector<size_t> DeliveriesPerFragment(const std::vector<ExpectedDelivery>& expected) const {
    std::vector<size_t> counts(m_Layout.fragments.size(), 0);
    const auto& packets = m_Fixture->probe.Packets("v:0");
    for (const auto& d : expected) {
      const uint64_t pos = packets[d.first].pos.value_or(0);
      for (size_t k = 0; k < counts.size(); ++k)
        if (pos >= m_Layout.fragments[k].offset && pos < m_Layout.fragments[k].offset + m_Layout.fragments[k].bytes.size())
          ++counts[k];
    }
    return counts;
  }

  // Reads to the end after opening and after every step; between a step
  // that completes a fragment and its reading, `cpuSeconds` of processor
  // time pass. Checks that each round
  // delivers the groups of the fragment the step completed, and that all
  // deliveries together are ffprobe's packets.
  void ReadWhileGrowing(CQTDataReader& reader, GrowthThread& writer, double cpuSeconds) {
    const auto expected = ExpectedVideoDeliveries(*m_Fixture, true);
    const auto perFragment = DeliveriesPerFragment(expected);
    std::vector<Delivery> all = ReadForward(reader, kMany);
    EXPECT_TRUE(all.empty()) << "the file holds no complete fragment yet";
    for (size_t step = 0; writer.Step(); ++step) {
      SCOPED_TRACE("after growth step " + std::to_string(step));
      std::vector<Delivery> round;
      if (cpuSeconds > 0 && step > 0) {
        // A fragment whose "moof" the last scan found whole needed only its
        // data; one whose "moof" was cut waits for the next scan.
        round = ReadForward(reader, kMany);
        if (MoofWasCut(step - 1)) {
          EXPECT_TRUE(round.empty()) << "a new fragment shows before a second of processor time";
        }
        ConsumeProcessorTime(cpuSeconds);
      }
      const auto more = ReadForward(reader, kMany);
      round.insert(round.end(), more.begin(), more.end());
      EXPECT_EQ(round.size(), step == 0 ? 0u : perFragment[step - 1]);
      all.insert(all.end(), round.begin(), round.end());
    }
    ASSERT_EQ(all.size(), expected.size());
    const double halfFrame = 0.5 / FrameRate(m_Fixture->probe.Stream("v:0"));
    for (size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE("delivery " + std::to_string(i));
      EXPECT_EQ(all[i].bytes.size(), expected[i].bytes.size());
      EXPECT_EQ(Md5Hash(all[i].bytes), expected[i].md5);
      EXPECT_NEAR(all[i].time, expected[i].pts, halfFrame);
    }
  }

  void ReadThroughTheScan() {
    GrowthThread writer(Steps(nullptr));
    CQTDataReader reader(OXLDataReader::Video_Data, "growing");
    ASSERT_EQ(reader.Open(m_File->path().c_str(), false), 0);
    ReadWhileGrowing(reader, writer, 1.05);
  }

  CapturingLogger m_Log;  // the reader logs the fragments it cannot read yet
  TempDir m_Dir;
  const MediaFixture* m_Fixture = nullptr;
  std::string m_Source;
  FragmentedLayout m_Layout;
  std::unique_ptr<GrowingFile> m_File;
};

}  // namespace

TEST_F(GrowingFragmentedFile, TopLevelScanDeliversEveryFrameOnceInOrder) {
  Prepare("growing_h264.mp4", false);
  if (IsSkipped() || HasFatalFailure()) return;
  ReadThroughTheScan();
}

// Each fragment holds a sound run beside the video one: the video reader
// takes its own and passes the other over.
TEST_F(GrowingFragmentedFile, TopLevelScanOfVideoWithSound) {
  Prepare("growing_h264_aac.mp4", true);
  if (IsSkipped() || HasFatalFailure()) return;
  ReadThroughTheScan();
}

// The host tells each fragment as soon as its first part is written: a
// "moof" that is still cut short is tried again on the next read. No
// processor time needs to pass.
TEST_F(GrowingFragmentedFile, ExternalInformerDeliversEveryFrameOnceInOrder) {
  Prepare("growing_h264.mp4", false);
  if (IsSkipped() || HasFatalFailure()) return;
  auto informer = std::make_shared<RecorderInformer>();
  GrowthThread writer(Steps(informer.get()));
  CQTDataReader reader(OXLDataReader::Video_Data, "growing");
  reader.SetExternalIndexInformer(informer);
  ASSERT_EQ(reader.Open(m_File->path().c_str(), false), 0);
  ReadWhileGrowing(reader, writer, 0);
}

namespace {

// A recording's media file, written frame by frame while a reference movie
// that already describes all of its frames is read.
struct GrowingMedia {
  std::vector<std::string> frames;
  std::vector<uint32_t> sizes;
  std::vector<uint64_t> offsets;
  std::string bytes;
  GrowingMedia() {
    for (uint32_t i = 0; i < 6; ++i) {
      offsets.push_back(bytes.size());
      sizes.push_back(900 + 350 * (i % 3) + i);
      frames.emplace_back(sizes.back(), '\0');
      for (uint32_t k = 0; k < sizes.back(); ++k) frames.back()[k] = static_cast<char>(i * 31 + k * 7);
      bytes += frames.back();
    }
  }
  // Where step k stops: in the middle of frame k + 1 (the end for the last step).
  size_t StepEnd(size_t k) const { return k + 1 < frames.size() ? offsets[k + 1] + sizes[k + 1] / 2 : bytes.size(); }
};

}  // namespace

TEST(GrowingReferencedMedia, EveryFrameOnceInOrderAsTheMediaFileGrows) {
  TempDir dir;
  const GrowingMedia media;
  GrowingFile file(dir.file("media.bin"), media.bytes.substr(0, media.StepEnd(0)));
  QtWriterTrack track;
  track.sizes = media.sizes;
  track.offsets = media.offsets;
  track.stsd = VideoStsd("apcn", 720, 576);
  track.drefEntry = UrlDrefEntry("media.bin");
  track.width = 720;
  track.height = 576;
  const std::string moviePath = dir.write("ref.mov", QtFile("", {track}, false));

  std::vector<std::function<void()>> steps;
  for (size_t k = 1; k < media.frames.size(); ++k)
    steps.push_back([&, k] { file.Append(media.bytes.substr(media.StepEnd(k - 1), media.StepEnd(k) - media.StepEnd(k - 1))); });
  GrowthThread writer(steps);

  CQTDataReader reader(OXLDataReader::Video_Data, "growing-ref");
  ASSERT_EQ(reader.Open(moviePath.c_str(), true), 0);
  std::vector<Delivery> all;
  for (size_t step = 0;; ++step) {
    SCOPED_TRACE("after growth step " + std::to_string(step));
    const auto round = ReadForward(reader, kMany);
    EXPECT_EQ(round.size(), 1u) << "each step completes one frame";
    all.insert(all.end(), round.begin(), round.end());
    const bool last = step + 1 == media.frames.size();
    EXPECT_EQ(reader.UpdateReferenceDuration(), !last) << "growing while the file lacks frames";
    if (!writer.Step()) break;
  }
  ASSERT_EQ(all.size(), media.frames.size());
  for (size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].bytes, media.frames[i]) << "frame " << i;
    EXPECT_NEAR(all[i].time, i * 0.04, 1e-9);
  }
}
