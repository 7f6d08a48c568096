// Big-endian reads, atom headers, and the two atom walks.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/TempDir.h"

using namespace oxltest;
using QTReader::AtomType;

namespace {

std::string Text(const std::exception& e) { return e.what(); }

TEST(BigEndianReads, HighByteFirstWithoutSignExtension) {
  const std::string b = ByteBuilder().u8(0x80).u8(0x01).str();
  EXPECT_EQ(QTUtils::Read16(Data(b)), 0x8001);
  const std::string w = ByteBuilder().u32(0xFEDCBA98).str();
  EXPECT_EQ(QTUtils::Read32(Data(w)), 0xFEDCBA98u);
  const std::string q = ByteBuilder().u32(1).u32(2).str();
  EXPECT_EQ(QTUtils::Read64(Data(q)), (uint64_t(1) << 32) + 2);
}

TEST(BoundedCursorRead, ExactFitAdvancesToEnd) {
  const ExactBuffer b(ByteBuilder().u32(0x01020304).str());
  const unsigned char* cursor = b.data();
  unsigned int value = 0;
  QTUtils::read(cursor, b.end(), value);
  EXPECT_EQ(value, 0x01020304u);
  EXPECT_EQ(cursor, b.end());
}

TEST(BoundedCursorRead, ShortBufferThrowsAndLeavesCursorAndValue) {
  const ExactBuffer b(std::string("\x01\x02\x03", 3));
  const unsigned char* cursor = b.data();
  unsigned int value = 77;
  EXPECT_THROW(QTUtils::read(cursor, b.end(), value), QTUtils::unsuported_or_invalid);
  EXPECT_EQ(cursor, b.data());
  EXPECT_EQ(value, 77u);
}

TEST(BoundedCursorRead, EveryWidthReadsItsSize) {
  const ExactBuffer b(ByteBuilder().u8(0xAB).u16(0xFFFE).u32(0xFFFFFFFE).u64(0x8000000000000001ull).str());
  const unsigned char* cursor = b.data();
  unsigned char u8 = 0;
  unsigned short u16 = 0;
  int i32 = 0;
  long i64 = 0;
  QTUtils::read(cursor, b.end(), u8);
  QTUtils::read(cursor, b.end(), u16);
  QTUtils::read(cursor, b.end(), i32);
  QTUtils::read(cursor, b.end(), i64);
  EXPECT_EQ(u8, 0xAB);
  EXPECT_EQ(u16, 0xFFFE);
  EXPECT_EQ(i32, -2);
  EXPECT_EQ(static_cast<unsigned long>(i64), 0x8000000000000001ull);
  EXPECT_EQ(cursor, b.end());
}

TEST(UnsupportedOrInvalid, IsAStdExceptionWithoutMessageOfItsOwn) {
  const QTUtils::unsuported_or_invalid e;
  const std::exception& base = e;
  EXPECT_STREQ(base.what(), std::exception().what());
}

TEST(AtomHeaderAccessors, LengthNeedsFourBytes) {
  const ExactBuffer b(ByteBuilder().u32(0x12345678).str());
  EXPECT_EQ(QTReader::GetLengthFromAtomBuffer(b.data(), 4), 0x12345678u);
  try {
    QTReader::GetLengthFromAtomBuffer(b.data(), 3);
    FAIL() << "no failure";
  } catch (const qel::QELRuntimeError& e) {
    EXPECT_EQ(Text(e).rfind("[Buffer size too small to read atom length]", 0), 0u) << Text(e);
  }
}

TEST(AtomHeaderAccessors, TypeNeedsEightBytesAndIsUnswapped) {
  const ExactBuffer b(ByteBuilder().u32(8).fourcc("avcC").str());
  EXPECT_EQ(QTReader::GetTypeFromAtomBuffer(b.data(), 8), AtomType("avcC"));
  EXPECT_EQ(QTReader::AtomTypeToString(QTReader::GetTypeFromAtomBuffer(b.data(), 8)), "avcC");
  try {
    QTReader::GetTypeFromAtomBuffer(b.data(), 7);
    FAIL() << "no failure";
  } catch (const qel::QELRuntimeError& e) {
    EXPECT_EQ(Text(e).rfind("[Buffer size too small to read atom type]", 0), 0u) << Text(e);
  }
}

std::vector<std::pair<std::string, uint32_t>> Children(const std::string& container) {
  std::vector<std::pair<std::string, uint32_t>> seen;
  const ExactBuffer b(container);
  QTReader::ForEachChildAtom(b.data(), b.size(), [&](const unsigned char*, uint32_t type, uint32_t size) {
    seen.emplace_back(QTReader::AtomTypeToString(type), size);
    return true;
  });
  return seen;
}

using Seen = std::vector<std::pair<std::string, uint32_t>>;

TEST(InMemoryAtomWalk, VisitsChildrenInOrder) {
  const std::string c = Atom("stbl", Atom("stsd", "abcd") + Atom("stts", "") + Atom("stsz", "0123456789"));
  EXPECT_EQ(Children(c), (Seen{{"stsd", 12}, {"stts", 8}, {"stsz", 18}}));
}

TEST(InMemoryAtomWalk, ChildLargerThanWhatRemainsEndsTheWalk) {
  std::string c = Atom("stbl", Atom("stsd", "") + ByteBuilder().u32(100).fourcc("stts").zeros(4).str());
  EXPECT_EQ(Children(c), (Seen{{"stsd", 8}}));
}

TEST(InMemoryAtomWalk, ZeroOrHeaderlessSizeEndsTheWalk) {
  for (uint32_t bad : {0u, 1u, 7u}) {
    const std::string c = Atom("stbl", ByteBuilder().u32(bad).fourcc("free").str() + Atom("stsd", ""));
    EXPECT_TRUE(Children(c).empty()) << bad;
  }
}

TEST(InMemoryAtomWalk, ContainerOfEightBytesOrTailBelowAHeaderHasNoChildren) {
  EXPECT_TRUE(Children(Atom("stbl", "")).empty());
  EXPECT_EQ(Children(Atom("stbl", Atom("stsd", "") + "\x00\x00\x00")), (Seen{{"stsd", 8}}));
}

TEST(InMemoryAtomWalk, EveryTruncationStaysInsideTheBuffer) {
  const std::string c = Atom("stbl", Atom("stsd", "abcd") + Atom("stts", "xyz"));
  for (const std::string& cut : Truncations(c)) {
    const ExactBuffer b(cut);
    // The declared size stays that of the whole atom: the walk must trust the buffer size only.
    QTReader::ForEachChildAtom(b.data(), b.size(), [&](const unsigned char* child, uint32_t, uint32_t size) {
      EXPECT_LE(child + size, b.end());
      return true;
    });
  }
}

TEST(FindChildAtom, FirstOfTheTypeWithItsSize) {
  const ExactBuffer b(Atom("minf", Atom("vmhd", "") + Atom("stbl", "12") + Atom("stbl", "3456")));
  const unsigned char* child = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(QTReader::FindChildAtom(b.data(), b.size(), AtomType("stbl"), child, size));
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(child, b.data() + 16);
  EXPECT_FALSE(QTReader::FindChildAtom(b.data(), b.size(), AtomType("dinf"), child, size));
}

TEST(TableEntryCount, BoundedByTheBytesHeld) {
  const std::string table = FullAtom("stco", 0, 0, ByteBuilder().u32(1000).u32(1).u32(2).u32(3).str());
  EXPECT_EQ(QTReader::CountHeldEntries(Data(table), table.size(), 12, 16, 4), 3u);
  EXPECT_EQ(QTReader::CountHeldEntries(Data(table), table.size() - 1, 12, 16, 4), 2u);
  EXPECT_EQ(QTReader::CountHeldEntries(Data(table), 12, 12, 16, 4), 0u);
}

// A reader exposing the atom walks over a file.
class StreamWalker : public CQTAtomStreamReader {
 public:
  explicit StreamWalker(unsigned int window) : CQTAtomStreamReader(OXLDataReader::Other_Data, window, "test") {}
  void OpenPath(const std::string& path) {
    auto* file = new SimpleFileReader();
    ASSERT_EQ(file->OpenFile(path.c_str(), 0), 0);
    ASSERT_EQ(Open(file, false), 0);
  }
  using CQTAtomStreamReader::AtomAction;
  using CQTAtomStreamReader::FindMoovAtom;
  using CQTAtomStreamReader::GetCursorFileOffset;
  using CQTAtomStreamReader::LoadWholeAtom;
  using CQTAtomStreamReader::WalkAtoms;
  using CQTAtomStreamReader::WalkEnd;
  std::vector<std::string> Walk(WalkEnd& end, uint64_t limit = UINT64_MAX) {
    std::vector<std::string> seen;
    end = WalkAtoms(
        [&](uint32_t type, uint32_t) {
          seen.push_back(QTReader::AtomTypeToString(type));
          return AtomAction::Skip;
        },
        limit);
    return seen;
  }

 protected:
  int Initialize(bool) override { return 0; }
};

class StreamAtomWalk : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) { return m_Dir.write("atoms.mov", bytes); }
  TempDir m_Dir;
};

TEST_F(StreamAtomWalk, SkipsAtomsLargerThanTheWindowToTheEndOfData) {
  StreamWalker walker(64);
  walker.OpenPath(Write(Atom("ftyp", "qt  ") + Atom("mdat", std::string(1000, 'x')) + Atom("moov", "")));
  StreamWalker::WalkEnd end;
  EXPECT_EQ(walker.Walk(end), (std::vector<std::string>{"ftyp", "mdat", "moov"}));
  EXPECT_EQ(end, StreamWalker::WalkEnd::EndOfData);
}

TEST_F(StreamAtomWalk, ZeroSizeEndsTheWalk) {
  StreamWalker walker(64);
  walker.OpenPath(Write(Atom("ftyp", "") + ByteBuilder().u32(0).fourcc("mdat").zeros(40).str() + Atom("moov", "")));
  StreamWalker::WalkEnd end;
  EXPECT_EQ(walker.Walk(end), (std::vector<std::string>{"ftyp"}));
  EXPECT_EQ(end, StreamWalker::WalkEnd::ZeroSize);
}

TEST_F(StreamAtomWalk, LimitEndsTheWalkAndOversizedChildStopsIt) {
  StreamWalker walker(64);
  walker.OpenPath(Write(Atom("mvhd", "") + Atom("trak", "1234") + Atom("free", "")));
  StreamWalker::WalkEnd end;
  EXPECT_EQ(walker.Walk(end, 20), (std::vector<std::string>{"mvhd", "trak"}));
  EXPECT_EQ(end, StreamWalker::WalkEnd::LimitReached);
  StreamWalker again(64);
  again.OpenPath(Write(Atom("mvhd", "") + Atom("trak", "1234") + Atom("free", "")));
  EXPECT_EQ(again.Walk(end, 19), (std::vector<std::string>{"mvhd"}));
  EXPECT_EQ(end, StreamWalker::WalkEnd::Oversized);
}

TEST_F(StreamAtomWalk, FindsMovieAfterLargeAtomWithSixtyFourBitSize) {
  StreamWalker walker(64);
  const std::string mdat = ByteBuilder().u32(1).fourcc("mdat").u64(16 + 5000).zeros(5000).str();
  const std::string moov = Atom("moov", std::string(300, 'm'));
  walker.OpenPath(Write(Atom("ftyp", "") + mdat + moov));
  ASSERT_TRUE(walker.FindMoovAtom());
  EXPECT_EQ(walker.GetCursorFileOffset(), 8 + mdat.size());
  // The movie is larger than the window: loading it grows the window.
  ASSERT_TRUE(walker.LoadWholeAtom(static_cast<uint32_t>(moov.size())));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(walker.GetCurrent()), moov.size()), moov);
}

TEST_F(StreamAtomWalk, SixtyFourBitSizeOfZeroFailsTheSearch) {
  StreamWalker walker(64);
  walker.OpenPath(Write(ByteBuilder().u32(1).fourcc("mdat").u64(0).str() + Atom("moov", "")));
  EXPECT_FALSE(walker.FindMoovAtom());
}

TEST_F(StreamAtomWalk, NoMovieAtomFailsAtEndOfData) {
  StreamWalker walker(64);
  walker.OpenPath(Write(Atom("ftyp", "") + Atom("free", "")));
  EXPECT_FALSE(walker.FindMoovAtom());
}

TEST_F(StreamAtomWalk, AtomClaimingMoreThanTheFileIsNotLoaded) {
  StreamWalker walker(64);
  walker.OpenPath(Write(ByteBuilder().u32(0x7FFFFFF0).fourcc("moov").zeros(100).str()));
  ASSERT_TRUE(walker.FindMoovAtom());
  EXPECT_FALSE(walker.LoadWholeAtom(0x7FFFFFF0));
  EXPECT_EQ(walker.GetBufferSize(), 64u);
}

}  // namespace
