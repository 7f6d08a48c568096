// The reader factory: reader classes, request errors, refusals, path
// classifiers, feature switches. (ProRes and type 24: probe summary tests.)
#include <gtest/gtest.h>

#include "OXLDataReader/AvcIntraFormaterDataReader.h"
#include "OXLDataReader/OXLDataReaderFactory.h"
#include "OXLDataReader/QTIMXDatareader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/FFmpegTools.h"
#include "support/GrowingFile.h"
#include "support/MediaFixtureCache.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace OXLDataReader;

namespace {

const std::string kRefused = "[Not implemented on Linux or Mac OS X]";

const MediaFixture* Case(const std::string& name) {
  for (const qtfiles::QtFileCase& c : qtfiles::AllCases())
    if (c.name == name) return qtfiles::CaseFixture(c);
  return nullptr;
}

class FactoryTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  }
  // The feature word is process-wide: each test leaves it as it found it.
  void TearDown() override { COXLDataReader::gdwDefaultFeatures = saved; }
  std::shared_ptr<COXLDataReader> Create(const std::string& path, DataType data = Video_Data,
                                         qel::FileType type = qel::Unknown_File) {
    return CreateDataReader(path.c_str(), type, Unknown_Video, data, "f", &error);
  }
  CapturingLogger log;
  unsigned int saved = COXLDataReader::gdwDefaultFeatures;
  ErrorCode error = FileTypeUnknown;
};

}  // namespace

TEST_F(FactoryTest, ReaderClassFollowsTheFileTypeAndDataType) {
  const MediaFixture* imx = Case("imx50_25");
  const MediaFixture* avci = Case("avcintra100_1080p25");
  const MediaFixture* prores = Case("prores_proxy_25_twos");
  ASSERT_TRUE(imx && prores);
  EXPECT_NE(dynamic_cast<CQTIMXDataReader*>(Create(imx->path).get()), nullptr);
  EXPECT_EQ(dynamic_cast<CQTIMXDataReader*>(Create(imx->path, Audio_Data).get()), nullptr);
  EXPECT_TRUE(!avci || dynamic_cast<AvcIntraFormaterDataReader*>(Create(avci->path).get()));
  // The request's feature word reaches the reader; the switches set their bits.
  COXLDataReader::gdwDefaultFeatures = 0x12000000;
  EnableSuperMotion(true);
  ForceLegacyTC(true);
  EXPECT_EQ(COXLDataReader::gdwDefaultFeatures, 0x13000000u);
  EnableSuperMotion(false);
  ForceLegacyTC(false);
  EXPECT_EQ(COXLDataReader::gdwDefaultFeatures, 0x02000000u);
  EXPECT_FALSE(Create(prores->path)->IsFeatureEnabled(0x10000000));
}

TEST_F(FactoryTest, RequestErrors) {
  TempDir dir;
  EXPECT_EQ(Create(dir.write("noise.mov", std::string(5000, 'n'))), nullptr);
  EXPECT_EQ(error, FileTypeUnknown);
  // A type whose reader cannot open the file.
  EXPECT_EQ(Create(dir.write("y.mov", "y"), Video_Data, qel::QTProRes_File), nullptr);
  EXPECT_EQ(error, OpenFailed);
  // HTTP transport streams are type 2 unopened; no reader, the error stays 1.
  VideoDataType vdt = H264_Video;
  EXPECT_EQ(GetFileType("http://host/live.TS", &vdt, nullptr, "f"), qel::TS_File);
  EXPECT_EQ(vdt, Unknown_Video);
  error = OpenFailed;
  EXPECT_EQ(Create("http://host/live.ts"), nullptr);
  EXPECT_EQ(error, FileTypeUnknown);
}

// The caller keeps its file reader: after a reader let it go, after a failed
// open, and after the AVC-Intra formatter's open threw on an IMX movie, which
// has no AVC-Intra mode (a fuzz finding: the reader had deleted the file
// reader it took on the way).
TEST_F(FactoryTest, OnACallersFileReader) {
  const MediaFixture* prores = Case("prores_proxy_25_twos");
  const MediaFixture* imxMovie = Case("imx50_25");
  ASSERT_TRUE(prores && imxMovie);
  SimpleFileReader file;
  ASSERT_EQ(file.OpenFile(prores->path.c_str(), 0), 0);
  auto reader = CreateDataReader(&file, qel::QTProRes_File, ProResProxy_Video, Video_Data, "f", &error);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(error, ReaderOpened);
  reader->UseFileReader(nullptr);
  TempDir dir;
  const auto stillReadable = [](SimpleFileReader& f, const std::string& bytes) {
    unsigned long start = 0;
    char head[8] = {};
    unsigned int read = 0;
    EXPECT_TRUE(f.GetFileSize() == bytes.size() && f.SetFilePointer(start) == 0 && f.ReadFile(head, 8, &read) == 0);
    EXPECT_EQ(std::string(head, 8), bytes.substr(0, 8));
  };
  SimpleFileReader junk;
  ASSERT_EQ(junk.OpenFile(dir.write("junk.mov", std::string(100, 'j')).c_str(), 0), 0);
  EXPECT_EQ(CreateDataReader(&junk, qel::QTProRes_File, ProResProxy_Video, Video_Data, "f", &error), nullptr);
  EXPECT_EQ(error, OpenFailed);
  stillReadable(junk, std::string(100, 'j'));
  SimpleFileReader imx;
  ASSERT_EQ(imx.OpenFile(imxMovie->path.c_str(), 0), 0);
  EXPECT_THROW(CreateDataReader(&imx, qel::QTAVCI_File, AVC_I_100, Video_Data, "f", &error), qel::QELRuntimeError);
  stillReadable(imx, ReadWholeFile(imxMovie->path));
}

TEST_F(FactoryTest, RefusedTypesAndGatewayPaths) {
  DATA_READER_MEDIA media;
  media.path = L"/nowhere.mxf";
  for (qel::FileType type : {qel::OPAtom_File, qel::MXFOP1ADNxHD_File, qel::WAVE_File, qel::OP1AXAVCI_File}) {
    media.fileType = type;
    EXPECT_EQ(QelFailure([&] { CreateFileDataReader(media, Video_Data, nullptr, "f"); }), kRefused) << type;
  }
  // No reader (the error says so), and a type the factory passes over (the error stays).
  for (auto [type, code] : {std::pair{qel::AAF_File, NoReaderForFileType}, {qel::PSMPEG2_File, FileTypeUnknown}}) {
    media.fileType = type;
    media.error = FileTypeUnknown;
    EXPECT_EQ(CreateFileDataReader(media, Video_Data, nullptr, "f"), nullptr);
    EXPECT_EQ(media.error, code) << type;
  }
  EXPECT_EQ(QelFailure([&] { GetFileType(L"RY:\\\\server\\clip", nullptr, nullptr, "f"); }), kRefused);
  media.fileType = qel::RY_Link;
  media.videoDataType = ProRes_Video;
  EXPECT_EQ(QelFailure([&] { CreateRYGwDataReader(media, VideoAlt_Data, "f"); }), kRefused);
  media.videoDataType = Mjpeg_Video;
  EXPECT_EQ(CreateRYGwDataReader(media, VideoAlt_Data, "f"), nullptr);
  EXPECT_EQ(QelFailure([&] { CreateRYGwDataReader(media, Audio_Data, "f"); }), kRefused);
}

TEST(FactoryPaths, Classifiers) {
  for (const wchar_t* disk : {L"C:\\clip.mov", L"z:\\", L"\\\\server\\share"}) EXPECT_TRUE(IsDiskFilePath(disk)) << disk;
  for (const wchar_t* other : {L"C:", L"/media/clip.mov", L"1:\\clip"}) EXPECT_FALSE(IsDiskFilePath(other)) << other;
  EXPECT_TRUE(IsHttpTsPath("HTTP://a/b.Ts") && !IsHttpTsPath("https://host/a.ts") && !IsRyPath("ry:\\\\gw\\clip"));
}
