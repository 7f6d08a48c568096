// Inputs the QuickTime reader's fuzz target found, kept as regression tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

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

using namespace oxltest;

namespace {

// A sound track and a time-code track whose sample, read from an offset
// inside the movie atom, gives a start far beyond a day.
const std::string kHugeStartTimecode = FromHex(
    "00000014667479707174202000000200717420200000000877696465000000086d646174000004d76d6f6f760000006c6d76686400000000"
    "0000000000000000000003e8000000c800010000010000000000000000000000000100000000000000000000000000000001000000000000"
    "00000000000000004000000000000000000000000000000000000000000000000000000000000004000002117472616b0000005c746b6864"
    "0000000300000000000000000000000200000000000000c80000000000000000000000010100000000030000000000000000000000000000"
    "0001000000000000000000000000000040000000000000000000000000000024656474730000001c656c73740000000000000001000000c8"
    "0000000000010000000001896d646961000000206d6468640000000000000000000000000000bb80000025807fff00000000002d68646c72"
    "000000006d686c72736f756e0000000000000000000000000c536f756e6448616e646c6572000001346d696e6600000010736d6864000000"
    "00000000000000002c68646c720000000064686c7275726c200000000000000000000000000b4461746148616e646c65720000002464696e"
    "660000001c6472656600000000000000010000000875726c2000000001000000cc7374626c0000004c737473640000000000000001000000"
    "3c74776f73000000000000000100000000000000000001001000000000bb800000000000186368616e000000000064000100000000000000"
    "0000000018737474730000000100000000000025800000000100000028737473630000000000000002000000010000080000000001000000"
    "050000058000000001000000147374737a000000000000000200002580000000247374636f0000000000000005000002bb00001550000027"
    "e500003a7b00004d10000002527472616b0000005c746b68640000000200000000000000000000000300000000000000c800000000000000"
    "0000000000000000000001000000000000000000000000000000010000000000000000000000000000400000000000000000000000000000"
    "24656474730000001c656c73740000000000000001000000c80000000000010000000001ca6d646961000000206d64686400000000000000"
    "00000000000000320000000a00000000000000003068646c72000000006d686c72746d63640000000000000000000000000f54696d65436f"
    "646548616e646c6572000001726d696e6600000082676d686400000018676d696e002000000040800080008000000000000000002c746578"
    "7400010000000000000000000000000000000100000000000000000000000000004000000000000036746d63640000002e74636d69000000"
    "0000000000000c0000000000000000ffffffffffff0d4c7563696461204772616e64650000002c68646c720000000064686c7275726c2000"
    "00000000000000000000000b4461746148616e646c65720000002464696e660000001c6472656600000000000000010000000c75726c2000"
    "000001000000987374626c0000003473747364000000000000000100000024746d6364000000000000000100000000000000000000320000"
    "00020019000000000000187374747300000000000000010000000100000a000000001c737473630000000000000001000000010000000100"
    "000001000000147374737a000000000000000400000001000000147374636f0000000000000001000000ff");

// The "moof" header of the identification finding: a fragment the
// random-access table points at claims 64 MiB less 16 bytes in a file of 16.
const std::string kHugeMoof = FromHex("03fffff06d6f6f66 0000001000000000");

// The fragment of the qt_reader timeout: a run without per-sample fields
// claims 2^32 - 1 samples, its first one sync, the others non-sync by the
// track's default flags.
const std::string kEndlessRunTfhd = FromHex("00000010 74666864 00000000 00000001");
const std::string kEndlessRun = FromHex("00000014 7472756e 00000004 ffffffff 02000000");

// Remembers the largest read asked of it.
class ReadRecorder : public SimpleFileReader {
 public:
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    *largest = std::max(*largest, count);
    return SimpleFileReader::ReadFile(buffer, count, read);
  }
  std::shared_ptr<unsigned int> largest = std::make_shared<unsigned int>(0);
};

// A whole file the reader opens: the open result, then (when it opens) every
// delivery forwards and backwards within a bounded number of reads, then
// what the finding was about.
struct FileFinding {
  const char* name;
  const std::string& bytes;
  OXLDataReader::DataType type;
  int open;
  std::function<void(CQTDataReader&)> check;
};

}  // namespace

TEST(QTFuzzFindings, WholeFilesOpenReadAndAnswer) {
  const FileFinding findings[] = {
      // Without video the in and out points are milliseconds; a start that
      // far does not fit 32 bits and saturates rather than overflowing.
      {"in and out of a huge start saturate", kHugeStartTimecode, OXLDataReader::Audio_Data, 0,
       [](CQTDataReader& reader) {
         unsigned int in = 0, out = 0, system = 0;
         ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
         EXPECT_EQ(system, 0xFFFFFFFFu);
         EXPECT_EQ(in, 0xFFFFFFFFu);
         EXPECT_EQ(out, 0xFFFFFFFFu);
       }},
  };
  CapturingLogger log;
  TempDir dir;
  std::vector<unsigned char> buffer(1 << 20);
  for (const FileFinding& f : findings) {
    SCOPED_TRACE(f.name);
    CQTDataReader reader(f.type, "fuzz-finding");
    ASSERT_EQ(reader.Open(dir.write("finding.mov", f.bytes).c_str(), false), f.open);
    if (f.open != 0) continue;
    for (bool forward : {true, false}) {
      int result = 0, reads = 0;
      unsigned int size = 0;
      double time = 0;
      for (unsigned char* data = buffer.data(); result == 0 && reads < 100000; ++reads, data = buffer.data())
        result = forward ? reader.GetNextData(data, unsigned(buffer.size()), &size, &time)
                         : reader.GetPrevData(data, unsigned(buffer.size()), &size, &time);
      EXPECT_LT(reads, 100000) << "the reading ends";
    }
    f.check(reader);
  }
}

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

// The sync searches decide for all the run's samples after the first at
// once instead of stepping through billions of them.
TEST(QTFuzzFindings, SyncSearchesPassAHugeRunOfSharedFlagsAtOnce) {
  const auto tfhd = TrackFragmentHeader::ParseTfhd(kEndlessRunTfhd.data(), kEndlessRunTfhd.size());
  auto rest = qel::CreateBuffer();
  ASSERT_TRUE(rest->Resize(kEndlessRun.size()));
  std::memcpy(rest->GetData(), kEndlessRun.data(), kEndlessRun.size());
  const MediaTrackExtends nonSync(1, 1, 0, 0x00010000);
  auto index = CreateMovieFragmentTrackIndex(nonSync, tfhd, rest, qel::EditRate{25, 1}, 0);
  auto cursor = index->GetFirstSampleIndex();
  ASSERT_TRUE(cursor->GetSample()->IsSyncOrPartialSync());
  cursor->Next();
  cursor->SeekSyncForward();
  EXPECT_TRUE(cursor->IsAfterLastIndex());
  auto last = index->GetLastSampleIndex();
  ASSERT_FALSE(last->GetSample()->IsSyncOrPartialSync());
  last->SeekSyncBackward();
  EXPECT_TRUE(last->IsFirstIndex());
}

// A movie whose one fragment claims 2^32 - 1 samples of 100 bytes after a
// sync one, all non-sync by the track's default: every delivery from it
// used to walk 65,536 of them. Now a delivery stops at the cap, and one too
// large for the buffer is measured without reading the file. (Its headers
// are version 1: the fragment finds its track by the id read there.)
TEST(QTFuzzFindings, AnEndlessGroupIsDeliveredUpToTheCap) {
  CapturingLogger log;
  TempDir dir;
  QtWriterTrack track;
  track.stsd = VideoStsd("avc1", 16, 16);
  const std::string trex = FullAtom("trex", 0, 0, ByteBuilder().u32(1).u32(1).u32(1).u32(100).u32(0x00010000));
  ByteBuilder traf;
  traf.fullAtom("tfhd", 0, 0x20000, ByteBuilder().u32(1));
  traf.fullAtom("trun", 0, 0x4, ByteBuilder().u32(0xFFFFFFFFu).u32(0x02000000));
  const std::string moof = Atom("moof", FullAtom("mfhd", 0, 0, ByteBuilder().u32(1)) + Atom("traf", traf));
  CQTDataReader reader(OXLDataReader::Video_Data, "fuzz-finding");
  ASSERT_EQ(reader.Open(dir.write("group.mp4", QtFile("", {track}, false, true, Atom("mvex", trex)) + moof).c_str(), false), 0);
  unsigned char buffer[64];
  unsigned char* data = buffer;
  unsigned int size = 0;
  double time = 0;
  EXPECT_EQ(reader.GetNextData(data, sizeof buffer, &size, &time), 101);
  EXPECT_EQ(size, CQTDataReader::kMaxDeliverySamples * 100u);
}
