// Inputs the QuickTime reader's fuzz target found, kept as regression tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "OXLDataReader/OXL_QuickTime/MoofTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/ReferenceMoofTrackSubIndex.h"
#include "OXLDataReader/QTDatareader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ErrorText.h"
#include "support/CapturingLogger.h"
#include "support/FuzzInputs.h"
#include "support/QtMovieWriter.h"
#include "support/ByteBuilder.h"
#include "support/TempDir.h"
#include "QTFileCases.h"

using namespace oxltest;

namespace {

// The "moof" header of the identification finding: a fragment the
// random-access table points at claims 64 MiB less 16 bytes in a file of 16.
const std::string kHugeMoof = FromHex("03fffff06d6f6f66 0000001000000000");

// Remembers the largest read asked of it.
class ReadRecorder : public SimpleFileReader {
 public:
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    *largest = std::max(*largest, count);
    return SimpleFileReader::ReadFile(buffer, count, read);
  }
  std::shared_ptr<unsigned int> largest = std::make_shared<unsigned int>(0);
};

}  // namespace

// A fragment whose size passes the file's end fails before a buffer of that
// size is allocated and read into: every question about the track retries it.
TEST(QTFuzzFindings, FragmentLargerThanTheFileFailsBeforeItsBufferIsMade) {
  CapturingLogger log;
  TempDir dir;
  auto recorder = std::make_shared<ReadRecorder>();
  ASSERT_EQ(recorder->OpenFile(dir.write("moof.mp4", kHugeMoof).c_str(), 0), 0);
  const auto largest = recorder->largest;
  auto index = CreateReferenceMovieFragmentTrackIndex(MediaTrackExtends(1, 1, 1, 0), qel::EditRate{25, 1}, 0,
                                                      qel::MediaTime(qel::EditRate{25, 1}), 1,
                                                      std::make_shared<LockableOxlFileReader>(recorder));
  for (int look = 0; look < 3; ++look) {
    EXPECT_EQ(QelFailure([&] { index->GetFirstSampleIndex(); }),
              "[Failed to read 67108840 bytes at 0] [ Condition is not true ]");
  }
  EXPECT_EQ(*largest, 8u);
}

// A movie whose one fragment claims 2^32 - 1 samples of 100 bytes after a
// sync one, all non-sync by the track's default: every delivery from it
// used to walk 65,536 of them, and each sync search all of them (the
// qt_reader timeout). Now a delivery stops at the cap, one too large for the
// buffer is measured without reading the file, and the searches pass the
// run's shared flags at once. (Its headers are version 1: the fragment finds
// its track by the id read there.)
TEST(QTFuzzFindings, AnEndlessGroupIsDeliveredUpToTheCap) {
  CapturingLogger log;
  QtWriterTrack track;
  track.stsd = VideoStsd("avc1", 16, 16);
  const std::string trex = FullAtom("trex", 0, 0, ByteBuilder().u32(1).u32(1).u32(1).u32(100).u32(0x00010000));
  ByteBuilder traf;
  traf.fullAtom("tfhd", 0, 0x20000, ByteBuilder().u32(1));
  traf.fullAtom("trun", 0, 0x4, ByteBuilder().u32(0xFFFFFFFFu).u32(0x02000000));
  const std::string moof = Atom("moof", FullAtom("mfhd", 0, 0, ByteBuilder().u32(1)) + Atom("traf", traf));
  auto reader = qtfiles::OpenBytes(QtFile("", {track}, false, true, Atom("mvex", trex)) + moof);
  unsigned char buffer[64];
  unsigned char* data = buffer;
  unsigned int size = 0;
  double time = 0;
  EXPECT_EQ(reader->GetNextData(data, sizeof buffer, &size, &time), 101);
  EXPECT_EQ(size, CQTDataReader::kMaxDeliverySamples * 100u);
  EXPECT_EQ(reader->SkipNextData(), 0);
  EXPECT_EQ(reader->GetNextData(data, sizeof buffer, &size, &time), 100);  // no sync sample after the first
  EXPECT_EQ(reader->GoToDataEnd(), 0);
  EXPECT_EQ(reader->GetPrevData(data, sizeof buffer, &size, &time), 101);  // back to the first
  EXPECT_EQ(time, 0.0);
}

// A run whose first sample has flags of its own (not sync) and whose other
// samples share the track's (sync): the first sync sample is the run's second.
// A fragment of a track the movie does not know is passed over.
TEST(QTFragmentRuns, AFirstSampleOfItsOwnLeavesTheSyncSamplesAfterIt) {
  QtWriterTrack track;
  track.stsd = VideoStsd("avc1", 16, 16);
  const std::string trex = FullAtom("trex", 0, 0, ByteBuilder().u32(1).u32(1).u32(1).u32(10).u32(0));
  const auto moof = [](uint32_t dataOffset) {
    ByteBuilder traf;
    traf.fullAtom("tfhd", 0, 0x20000, ByteBuilder().u32(1));
    traf.fullAtom("trun", 0, 0x5, ByteBuilder().u32(4).u32(dataOffset).u32(0x00010000));
    ByteBuilder unknown;
    unknown.fullAtom("tfhd", 0, 0x20000, ByteBuilder().u32(9)).fullAtom("trun", 0, 0x1, ByteBuilder().u32(1).u32(0));
    return Atom("moof", FullAtom("mfhd", 0, 0, ByteBuilder().u32(1)) + Atom("traf", unknown) + Atom("traf", traf));
  };
  const std::string media = std::string(10, 'a') + std::string(10, 'b') + std::string(10, 'c') + std::string(10, 'd');
  auto reader = qtfiles::OpenBytes(QtFile("", {track}, false, true, Atom("mvex", trex)) +
                                   moof(uint32_t(moof(0).size() + 8)) + Atom("mdat", media));
  const auto frames = qtfiles::ReadForward(*reader, 10);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0].bytes, std::string(10, 'b'));
}
