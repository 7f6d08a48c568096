// Big-endian reads, atom headers, and the two atom walks.
#include <gtest/gtest.h>

#include <tuple>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

using namespace oxltest;
using QTReader::AtomType;

namespace {

TEST(BigEndianReads, HighByteFirstBoundedByTheBuffer) {
  const ExactBuffer b(ByteBuilder().u8(0xAB).u16(0xFFFE).u32(0xFFFFFFFE).u64(0x8000000000000001ull).str());
  EXPECT_EQ(QTUtils::Read16(b.data() + 1), 0xFFFE);
  EXPECT_EQ(QTUtils::Read64(b.data() + 7), 0x8000000000000001ull);
  const unsigned char* cursor = b.data();
  unsigned char u8 = 0;
  unsigned short u16 = 0;
  int i32 = 0;
  long i64 = 0;
  QTUtils::read(cursor, b.end(), u8);
  QTUtils::read(cursor, b.end(), u16);
  QTUtils::read(cursor, b.end(), i32);
  const unsigned char* before = cursor;
  EXPECT_THROW(QTUtils::read(cursor, b.end() - 1, i64), QTUtils::unsuported_or_invalid);
  EXPECT_EQ(cursor, before);
  QTUtils::read(cursor, b.end(), i64);
  EXPECT_EQ(u8, 0xAB);
  EXPECT_EQ(u16, 0xFFFE);
  EXPECT_EQ(i32, -2);
  EXPECT_EQ(static_cast<unsigned long>(i64), 0x8000000000000001ull);
  EXPECT_EQ(cursor, b.end());
  EXPECT_EQ(ErrorText([&] { QTReader::GetLengthFromAtomBuffer(b.data(), 3); }),
            "[Buffer size too small to read atom length] [ Condition is not true ]");
  EXPECT_THROW(QTReader::GetTypeFromAtomBuffer(b.data(), 7), qel::QELRuntimeError);
  const ExactBuffer atom(ByteBuilder().u32(12).fourcc("avcC").str());
  EXPECT_EQ(QTReader::GetTypeFromAtomBuffer(atom.data(), 8), AtomType("avcC"));
  EXPECT_EQ(QTReader::GetLengthFromAtomBuffer(atom.data(), 4), 12u);
}

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
  for (uint32_t bad : {0u, 1u, 7u}) {
    EXPECT_TRUE(Children(Atom("stbl", ByteBuilder().u32(bad).fourcc("free").str() + Atom("stsd", ""))).empty()) << bad;
  }
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

TEST_F(StreamAtomWalk, SkipsAtomsLargerThanTheWindowUpToTheEndOrAZeroSize) {
  StreamWalker walker(64);
  walker.OpenPath(Write(Atom("ftyp", "qt  ") + Atom("mdat", std::string(1000, 'x')) + Atom("moov", "")));
  StreamWalker::WalkEnd end;
  EXPECT_EQ(walker.Walk(end), (std::vector<std::string>{"ftyp", "mdat", "moov"}));
  EXPECT_EQ(end, StreamWalker::WalkEnd::EndOfData);
  StreamWalker zero(64);
  zero.OpenPath(m_Dir.write("zero.mov", Atom("ftyp", "") + ByteBuilder().u32(0).fourcc("mdat").zeros(40).str()));
  EXPECT_EQ(zero.Walk(end), (std::vector<std::string>{"ftyp"}));
  EXPECT_EQ(end, StreamWalker::WalkEnd::ZeroSize);
}

TEST_F(StreamAtomWalk, LimitEndsTheWalkAndAnAtomPassingItStopsIt) {
  const std::string path = Write(Atom("mvhd", "") + Atom("trak", "1234") + Atom("free", ""));
  for (auto [limit, seen, why] : {std::tuple(20, 2u, StreamWalker::WalkEnd::LimitReached),
                                  std::tuple(19, 1u, StreamWalker::WalkEnd::Oversized)}) {
    StreamWalker walker(64);
    walker.OpenPath(path);
    StreamWalker::WalkEnd end;
    EXPECT_EQ(walker.Walk(end, limit).size(), seen);
    EXPECT_EQ(end, why);
  }
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

TEST_F(StreamAtomWalk, SixtyFourBitSizeOfZeroOrAMovieClaimingMoreThanTheFileFails) {
  StreamWalker zero(64);
  zero.OpenPath(Write(ByteBuilder().u32(1).fourcc("mdat").u64(0).str() + Atom("moov", "")));
  EXPECT_FALSE(zero.FindMoovAtom());
  StreamWalker walker(64);
  walker.OpenPath(m_Dir.write("big.mov", ByteBuilder().u32(0x7FFFFFF0).fourcc("moov").zeros(100).str()));
  ASSERT_TRUE(walker.FindMoovAtom());
  EXPECT_FALSE(walker.LoadWholeAtom(0x7FFFFFF0));
  EXPECT_EQ(walker.GetBufferSize(), 64u);
}

}  // namespace
