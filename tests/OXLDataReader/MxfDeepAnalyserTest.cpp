// The deep analysis of OP1a AVC-Intra files: the first frame tells Sony's
// XAVC-Intra classes from AVC-Intra; the analysers the factory gives.
#include <gtest/gtest.h>

#include "OXLDataReader/MxfDeepAnalyser.h"
#include "OXLDataReader/OXLDataReaderFactory.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "OxlTbx/TextEncoding.h"
#include "support/ErrorText.h"
#include "support/ImxFixtures.h"
#include "support/TempDir.h"

namespace {

struct Identified {
  unsigned int fileType = 0, videoType = 0;
};

Identified Identify(const std::string& path) {
  OXLDataReader::VideoDataType type = OXLDataReader::Unknown_Video;
  std::shared_ptr<COXLDataReader> reader;
  const qel::FileType fileType = OXLDataReader::GetFileType(&type, path.c_str(), reader);
  return {static_cast<unsigned int>(fileType), static_cast<unsigned int>(type)};
}

const std::string k1080p = "-f lavfi -i testsrc=size=1920x1080:rate=25 -t 0.08 -pix_fmt yuv422p10le -c:v libx264 ";

// OP1a AVC-Intra 100 stays 65/23; an XAVC-Intra class-100 first frame makes 75/43.
TEST(MxfDeepAnalysis, FirstFrameTellsXavcIntraFromAvcIntra) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const struct {
    const char* name;
    std::string args;
    Identified expected;
  } cases[] = {{"deep_avci100.mxf", k1080p + "-avcintra-class 100 -f mxf", {65, 23}},
               {"deep_xavc100.mxf", k1080p + "-avcintra-class 100 -x264-params avcintra-flavor=sony -f mxf", {75, 43}}};
  for (const auto& c : cases) {
    if (!oxltest::FindMediaFixture(c.name, {c.args}) && !oxltest::HasEncoder("libx264")) GTEST_SKIP() << "no libx264";
    const Identified got = Identify(oxltest::GetMediaFixture(c.name, {c.args}).path);
    EXPECT_EQ(got.fileType, c.expected.fileType) << c.name;
    EXPECT_EQ(got.videoType, c.expected.videoType) << c.name;
  }
}

TEST(MxfDeepAnalysis, FactoryGivesAnAnalyserByFileType) {
  // Any other pair is kept as the labels gave it.
  const auto keep = CreateMxfDeepAnalyser(qel::IMX_File, OXLDataReader::IMX50_Video);
  ASSERT_TRUE(keep);
  EXPECT_EQ(keep->DoAnalyse(0, nullptr, 0, 0, nullptr, nullptr),
            MxfAnalysisResult(qel::IMX_File, OXLDataReader::IMX50_Video));
  const auto avci = CreateMxfDeepAnalyser(qel::OP1AAVCI_File, OXLDataReader::AVC_I_100);
  ASSERT_TRUE(std::dynamic_pointer_cast<AvcIntraMxfDeepAnalyser>(avci));
  EXPECT_EQ(avci->DoAnalyse(0, nullptr, 0, 0, nullptr, nullptr),
            MxfAnalysisResult(qel::OP1AAVCI_File, OXLDataReader::AVC_I_100));
  for (qel::FileType refused : {qel::MJPEG_File, qel::HDXDCAM_File})
    EXPECT_EQ(oxltest::QelFailure([&] { CreateMxfDeepAnalyser(refused, OXLDataReader::Unknown_Video); }),
              "[Not implemented on Linux or Mac OS X]");
}

// The analyser reads through the identifier's file reader and gives it back
// at offset 0, still open; a file no reader takes keeps the labels' pair.
TEST(MxfDeepAnalysis, TheFileReaderStaysTheCallersAtOffsetZero) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const auto analyser = CreateMxfDeepAnalyser(qel::OP1AAVCI_File, OXLDataReader::AVC_I_100);
  SimpleFileReader file;
  ASSERT_EQ(file.OpenFile(TextEncoding::Unicode::get8(oxltest::D10Fixture().path).c_str(), 0), 0);
  const MxfAnalysisResult result = analyser->DoAnalyse(0, nullptr, 0, 0, nullptr, &file);
  EXPECT_EQ(result, MxfAnalysisResult(qel::OP1AAVCI_File, OXLDataReader::IMX50_Video));
  EXPECT_EQ(file.GetFilePointer(), 0u);
  unsigned char key[4] = {};
  unsigned int read = 0;
  ASSERT_EQ(file.ReadFile(key, 4, &read), 0);
  EXPECT_EQ(key[0], 0x06);

  oxltest::TempDir dir;
  SimpleFileReader junk;
  ASSERT_EQ(junk.OpenFile(TextEncoding::Unicode::get8(dir.write("junk.mxf", std::string(4096, 'x'))).c_str(), 0), 0);
  EXPECT_EQ(analyser->DoAnalyse(0, nullptr, 0, 0, nullptr, &junk),
            MxfAnalysisResult(qel::OP1AAVCI_File, OXLDataReader::AVC_I_100));
}

}  // namespace
