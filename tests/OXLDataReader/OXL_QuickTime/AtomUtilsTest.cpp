// The atom walks on headers FFmpeg never writes: child sizes of 1 to 7 and
// 64-bit sizes. Zero sizes and atoms passing their container or the file
// are checked on damaged movies (QTDataReaderDamagedTest).
#include <gtest/gtest.h>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

// Children of an in-memory container up to the first whose size is below
// a header's or passes the container; a tail shorter than a header is left.
TEST(InMemoryAtomWalk, VisitsChildrenInOrderUpToABadOne) {
  for (uint32_t bad : {1u, 7u, 100u}) {
    const ExactBuffer b(Atom("stbl", Atom("stsd", "abcd") + ByteBuilder().u32(bad).fourcc("free").zeros(4).str() + "xyz"));
    std::vector<std::pair<uint32_t, uint32_t>> seen;
    QTReader::ForEachChildAtom(b.data(), b.size(), [&](const unsigned char*, uint32_t type, uint32_t size) {
      seen.emplace_back(type, size);
      return true;
    });
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, uint32_t>>{{QTReader::AtomType("stsd"), 12}})) << bad;
  }
  const ExactBuffer header(ByteBuilder().u32(12).fourcc("avcC").str());
  EXPECT_EQ(QTReader::GetLengthFromAtomBuffer(header.data(), 4), 12u);
  EXPECT_THROW(QTReader::GetLengthFromAtomBuffer(header.data(), 3), qel::QELRuntimeError);
  EXPECT_THROW(QTReader::GetTypeFromAtomBuffer(header.data(), 7), qel::QELRuntimeError);
}

// A reader exposing the atom walks over a file, with a 64-byte window.
class StreamWalker : public CQTAtomStreamReader {
 public:
  explicit StreamWalker(const std::string& path) : CQTAtomStreamReader(OXLDataReader::Other_Data, 64, "test") {
    auto* file = new SimpleFileReader();
    EXPECT_EQ(file->OpenFile(path.c_str(), 0), 0);
    EXPECT_EQ(Open(file, false), 0);
  }
  using CQTAtomStreamReader::FindMoovAtom;
  using CQTAtomStreamReader::GetCursorFileOffset;
  using CQTAtomStreamReader::LoadWholeAtom;

 protected:
  int Initialize(bool) override { return 0; }
};

TEST(StreamAtomWalk, MovieAfterASixtyFourBitSizeAndMoviesTooLargeToLoad) {
  TempDir dir;
  const std::string mdat = ByteBuilder().u32(1).fourcc("mdat").u64(16 + 5000).zeros(5000).str();
  const std::string moov = Atom("moov", std::string(300, 'm'));
  StreamWalker walker(dir.write("wide.mov", Atom("ftyp", "") + mdat + moov));
  ASSERT_TRUE(walker.FindMoovAtom());
  EXPECT_EQ(walker.GetCursorFileOffset(), 8 + mdat.size());
  ASSERT_TRUE(walker.LoadWholeAtom(static_cast<uint32_t>(moov.size())));  // grows the window
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(walker.GetCurrent()), moov.size()), moov);
  StreamWalker zero(dir.write("zero.mov", ByteBuilder().u32(1).fourcc("mdat").u64(0).str() + Atom("moov", "")));
  EXPECT_FALSE(zero.FindMoovAtom());
  StreamWalker claiming(dir.write("big.mov", ByteBuilder().u32(0x7FFFFFF0).fourcc("moov").zeros(100).str()));
  ASSERT_TRUE(claiming.FindMoovAtom());
  EXPECT_FALSE(claiming.LoadWholeAtom(0x7FFFFFF0));
  EXPECT_EQ(claiming.GetBufferSize(), 64u);
}

}  // namespace
