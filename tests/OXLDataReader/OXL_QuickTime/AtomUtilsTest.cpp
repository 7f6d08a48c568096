// The top-level atom walk over 64-bit sizes, which FFmpeg writes only past
// 4 GiB. Zero sizes and atoms passing their container or the file are
// checked on damaged movies (QTDataReaderDamagedTest).
#include <gtest/gtest.h>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "support/ByteBuilder.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

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

TEST(AtomWalk, MovieAfterASixtyFourBitSizeIsFoundAndLoaded) {
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
}

TEST(AtomWalk, ChildAtomIsFoundOnlyWhenPresent) {
  const std::string stbl = Atom("stbl", Atom("stts", "x") + Atom("stsz", "yy"));
  const auto* p = reinterpret_cast<const unsigned char*>(stbl.data());
  const unsigned char* child = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(QTReader::FindChildAtom(p, stbl.size(), QTReader::AtomType("stsz"), child, size));
  EXPECT_EQ(std::make_pair(child, size), std::make_pair(p + 8 + 9, 10u));
  EXPECT_FALSE(QTReader::FindChildAtom(p, stbl.size(), QTReader::AtomType("stsd"), child, size));
}

}  // namespace
