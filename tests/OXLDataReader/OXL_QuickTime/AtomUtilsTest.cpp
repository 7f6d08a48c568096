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

using Seen = std::vector<std::pair<std::string, uint32_t>>;

Seen Children(const std::string& container) {
  Seen seen;
  const ExactBuffer b(container);
  QTReader::ForEachChildAtom(b.data(), b.size(), [&](const unsigned char*, uint32_t type, uint32_t size) {
    seen.emplace_back(QTReader::AtomTypeToString(type), size);
    return true;
  });
  return seen;
}

TEST(InMemoryAtomWalk, VisitsChildrenInOrderUpToABadOne) {
  const std::string c = Atom("stbl", Atom("stsd", "abcd") + Atom("stts", "") + Atom("stsz", "0123456789") + "xyz");
  EXPECT_EQ(Children(c), (Seen{{"stsd", 12}, {"stts", 8}, {"stsz", 18}}));  // a tail shorter than a header is left
  const std::string oversized = ByteBuilder().u32(100).fourcc("stts").zeros(4).str();
  EXPECT_EQ(Children(Atom("stbl", Atom("stsd", "") + oversized)), (Seen{{"stsd", 8}}));
  for (uint32_t bad : {0u, 1u, 7u})
    EXPECT_TRUE(Children(Atom("stbl", ByteBuilder().u32(bad).fourcc("free").str() + Atom("stsd", ""))).empty()) << bad;
  const ExactBuffer header(ByteBuilder().u32(12).fourcc("avcC").str());
  EXPECT_EQ(QTReader::GetTypeFromAtomBuffer(header.data(), 8), QTReader::AtomType("avcC"));
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
