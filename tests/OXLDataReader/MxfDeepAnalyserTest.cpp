// The deep analysis of OP1a AVC-Intra files (the first frame tells Sony's
// XAVC-Intra classes from AVC-Intra) and the Avid DNxHD primer of OP-Atom.
#include <gtest/gtest.h>

#include "OXLDataReader/OXLMediaIdentifier.h"
#include "support/ImxFixtures.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

namespace {

// The file type and video type identification gives `path`.
std::pair<unsigned int, unsigned int> Identify(const std::string& path) {
  OXLMediaIdentifier identifier;
  identifier.SetFilePath(path.c_str());
  qel::FileType fileType = qel::Unknown_File;
  OXLDataReader::VideoDataType videoType = OXLDataReader::Unknown_Video;
  EXPECT_EQ(identifier.GetFileFormat(fileType, videoType), 0);
  return {static_cast<unsigned int>(fileType), static_cast<unsigned int>(videoType)};
}

// OP1a AVC-Intra 100 stays 65/23; an XAVC-Intra class-100 first frame makes 75/43.
TEST(MxfDeepAnalysis, FirstFrameTellsXavcIntraFromAvcIntra) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const std::string avci = "-f lavfi -i testsrc=size=1920x1080:rate=25 -t 0.08 -pix_fmt yuv422p10le -c:v libx264 "
                           "-avcintra-class 100 ";
  const std::string xavc = avci + "-x264-params avcintra-flavor=sony ";
  if (!oxltest::FindMediaFixture("deep_xavc100.mxf", {xavc + "-f mxf"}) && !oxltest::HasEncoder("libx264"))
    GTEST_SKIP() << "no libx264";
  EXPECT_EQ(Identify(oxltest::GetMediaFixture("deep_avci100.mxf", {avci + "-f mxf"}).path), std::make_pair(65u, 23u));
  EXPECT_EQ(Identify(oxltest::GetMediaFixture("deep_xavc100.mxf", {xavc + "-f mxf"}).path), std::make_pair(75u, 43u));
}

// A DV label that would make 14 (P2 video) makes OP-Atom (45) when a primer
// pack within 200 bytes after the labels declares Avid's DNxHD descriptor key
// in the 185 bytes after the primer's value; a key inside the primer's value,
// beyond those bytes or a primer beyond those 200 does not count.
TEST(MxfDeepAnalysis, AvidDnxPrimerMakesOpAtom) {
  using namespace oxltest::mxf;
  const std::string header = MxfHeader(1, 1, {Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.02.01.02")}, 0);
  const std::string primerKey = Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01.05.01.00");
  const std::string avid = Label("26.fa.d9.d0.4e.66.42.f5.bf.48.0f.c6.fa.41.98.ab");
  const std::string entries = std::string(40, '\0');
  const struct {
    std::string after;
    unsigned int fileType;
  } cases[] = {{std::string(30, 'f') + primerKey + U8(40) + entries + std::string(100, 'x') + avid, 45},
               {primerKey + Bytes({0x83, 0, 0, 40}) + entries + avid, 45},
               {primerKey + Bytes({0x82, 0, 56}) + entries + avid + std::string(200, 'x'), 14},
               {primerKey + Bytes({0x83, 0, 0, 40}) + entries + std::string(185, 'x') + avid, 14},
               {std::string(200, 'x') + primerKey + U8(40) + entries + avid, 14}};
  oxltest::TempDir dir;
  for (const auto& c : cases) {
    std::string bytes = header + c.after;
    bytes.resize(std::max<size_t>(bytes.size(), 2048), '\0');
    EXPECT_EQ(Identify(dir.write("dnx.mxf", bytes)).first, c.fileType) << &c - cases;
  }
}

}  // namespace
