// The files of a clip: 4K quarters and 3D eyes by name, numbered WAV parts,
// the files a QuickTime reference movie points at, and what is refused.
#include <gtest/gtest.h>

#include <set>

#include "OXLDataReader/OXLMediaFiles.h"
#include "OXLDataReader/OxlAssociatedFileFinder.h"
#include "OxlTbx/TextEncoding.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/MxfWriter.h"
#include "support/QtMovieWriter.h"
#include "support/QtSampleTables.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace OXLDataReader;
using Files = std::list<std::wstring>;

namespace {

std::list<std::wstring> Whole(const std::wstring& path, std::set<std::wstring> existing) {
  return CreateAssociatedFileFinder(path, [existing](const std::wstring& p) { return existing.count(p) > 0; })
      ->GetWholeAssociatedFiles();
}

std::wstring W(const std::string& utf8) { return TextEncoding::Unicode::get8(utf8); }

QtWriterTrack ReferenceTrack(const std::string& handler, const std::string& file, uint32_t trackId = 1) {
  QtWriterTrack t;
  t.trackId = trackId;
  t.handler = handler;
  t.sizes = {100};
  t.offsets = {0};
  t.drefEntry = UrlDrefEntry(file);
  t.stsd = handler == "vide" ? VideoStsd("apcn", 720, 576) : SoundStsdAtom("twos", 2, 16, 48000);
  return t;
}

const char* const kRefused = "[Not implemented on Linux or Mac OS X]";

}  // namespace

TEST(AssociatedFileFinder, FourKQuartersInTheirOrder) {
  const std::wstring tl = L"/m/clip.4kTL.mov", tr = L"/m/clip.4kTR.mov";
  const std::wstring bl = L"/m/clip.4kBL.mov", br = L"/m/clip.4kBR.mov";
  EXPECT_EQ(Whole(tl, {br, bl, tr, tl}), (Files{tl, tr, bl, br}));
  // The named quarter counts only when it exists.
  EXPECT_EQ(Whole(tl, {tr}), (Files{tr}));
  // Only the last ".4kTL." is a quarter mark.
  EXPECT_EQ(Whole(L"/a.4kTL.d/c.4kTL.mov", {L"/a.4kTL.d/c.4kBR.mov"}), (Files{L"/a.4kTL.d/c.4kBR.mov"}));
  // Another quarter's name, or "4kTL" without its dots, is a single file.
  EXPECT_EQ(Whole(tr, {tl, tr, bl, br}), (Files{tr}));
  EXPECT_EQ(Whole(L"/m/clip4kTL.mov", {L"/m/clip4kTR.mov"}), (Files{L"/m/clip4kTL.mov"}));
}

TEST(WavParts, UpToTheFirstMissingNumberPastNine) {
  TempDir dir;
  Files expected;
  for (const char* part : {"00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "12"})
    expected.push_back(W(dir.write("take." + std::string(part) + ".wav", "RIFF")));
  expected.pop_back();
  Files files;
  CheckForAdditionalWav(expected.front().c_str(), files);
  EXPECT_EQ(files, expected);
  std::wstring name;
  EXPECT_TRUE(ExistWavFile(W(dir.file("take.wav")).c_str(), name));
  EXPECT_EQ(name, expected.front());
}

TEST(AssociatedMediaFiles, ReferenceMovieListsItsMediaThenItself) {
  CapturingLogger quiet;
  TempDir dir;
  const std::vector<QtWriterTrack> tracks{ReferenceTrack("vide", "pic_3D0.mov"), ReferenceTrack("soun", "a1.mov", 2),
                                          ReferenceTrack("soun", "a2.mov", 3)};
  const std::string movie = dir.write("ref.mov", QtFile("", tracks, false));
  dir.write("pic_3D1.mov", "eye 1");  // the referenced picture's second eye comes along
  std::list<std::string> files{"kept"};
  EXPECT_EQ(GetAssociatedMediaFiles(movie.c_str(), files, 16), 0);
  // Referenced files need not exist; audio from the last track to the first.
  EXPECT_EQ(files, (std::list<std::string>{"kept", dir.file("pic_3D0.mov"), dir.file("pic_3D1.mov"),
                                           dir.file("a2.mov"), dir.file("a1.mov"), movie}));
}

// Missing and empty files, and names of no known kind, are listed as they
// are. Playlists, manifests and OP-Atom MXF (45: row 14's DNxHD label) are
// not listed on this platform; the label in OP1a (61) is listed alone.
TEST(AssociatedMediaFiles, AnyFileIsListedButPlaylistsManifestsAndOpAtom) {
  CapturingLogger quiet;
  TempDir dir;
  const std::string row14 = mxf::Label("06.0e.2b.34.04.01.01.01.0e.04.03.01.02.06.03.03");
  const std::string atom = dir.write("atom.mxf", mxf::MxfHeader(0x10, 0x00, {row14}));
  Files files;
  for (const std::wstring& path : {std::wstring(L"/m/live.m3u8"), std::wstring(L"/m/live.mpd"), W(atom)})
    EXPECT_EQ(QelFailure([&] { GetAssociatedMediaFiles(path.c_str(), files, 16); }), kRefused);
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(GetAssociatedMediaFiles(static_cast<const wchar_t*>(nullptr), files, 16), -1);
  EXPECT_EQ(GetAssociatedMediaFiles(W(dir.file("gone.mov")).c_str(), files, 16), 0);
  EXPECT_EQ(GetAssociatedMediaFiles(W(dir.write("empty.mov", "")).c_str(), files, 16), 0);
  // Upper case, or no dot, is another extension: identified (nothing there) and listed.
  EXPECT_EQ(GetAssociatedMediaFiles(L"/m/live.M3U8", files, 16), 0);
  EXPECT_EQ(GetAssociatedMediaFiles(L"/m/livem3u8", files, 16), 0);
  const std::string op1a = dir.write("op1a.mxf", mxf::MxfHeader(0x01, 0x01, {row14}));
  EXPECT_EQ(GetAssociatedMediaFiles(W(op1a).c_str(), files, 16), 0);
  EXPECT_EQ(files, (Files{W(dir.file("gone.mov")), W(dir.file("empty.mov")), L"/m/live.M3U8", L"/m/livem3u8",
                          W(op1a)}));
}
