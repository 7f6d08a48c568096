// The top-level atom walk over 64-bit sizes, which FFmpeg writes only past
// 4 GiB. Zero sizes and atoms passing their container or the file are
// checked on damaged movies (QTDataReaderDamagedTest).
#include <gtest/gtest.h>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLDataReader/QTDatareader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "support/ByteBuilder.h"
#include "support/QtMovieWriter.h"
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
  // The reader takes a movie atom of that form too.
  QtWriterTrack track;
  track.stsd = VideoStsd("apcn", 16, 16);
  track.sizes = {5};
  track.offsets = {0};
  std::string movie = QtFile("frame", {track}, true);
  const size_t at = movie.rfind("moov") - 4;
  movie = movie.substr(0, at) + ByteBuilder().u32(1).fourcc("moov").u64(movie.size() - at + 8).str() + movie.substr(at + 8);
  CQTDataReader reader(OXLDataReader::Video_Data, "wide");
  ASSERT_EQ(reader.Open(dir.write("wide-moov.mov", movie).c_str(), false), 0);
  unsigned char frame[8], *data = frame;
  unsigned int size = 0;
  EXPECT_EQ(reader.GetNextData(data, sizeof frame, &size, nullptr), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "frame");
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
