// The reader factory: which reader class a file gets, the request errors,
// the refusals, the path classifiers and the feature switches.
#include <gtest/gtest.h>

#include "OXLDataReader/AvcIntraFormaterDataReader.h"
#include "OXLDataReader/OXLDataReaderFactory.h"
#include "OXLDataReader/QTDatareader.h"
#include "OXLDataReader/QTIMXDatareader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/FFmpegTools.h"
#include "support/MediaFixtureCache.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace OXLDataReader;

namespace {

const std::string kRefused = "[Not implemented on Linux or Mac OS X]";

const MediaFixture* Case(const std::string& name) {
  for (const qtfiles::QtFileCase& c : qtfiles::AllCases()) {
    if (c.name == name) return qtfiles::CaseFixture(c);
  }
  return nullptr;
}

class FactoryTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  }
  // The feature word is process-wide: each test leaves it as it found it.
  void TearDown() override { COXLDataReader::gdwDefaultFeatures = saved; }
  CapturingLogger log;
  unsigned int saved = COXLDataReader::gdwDefaultFeatures;
};

}  // namespace

TEST_F(FactoryTest, ReaderClassFollowsTheFileTypeAndDataType) {
  const MediaFixture* imx = Case("imx50_25");
  const MediaFixture* avci = Case("avcintra100_1080p25");
  const MediaFixture* prores = Case("prores_proxy_25_twos");
  ASSERT_TRUE(imx && prores);
  ErrorCode error = FileTypeUnknown;
  auto video = CreateDataReader(imx->path.c_str(), qel::Unknown_File, Unknown_Video, Video_Data, "f", &error);
  EXPECT_EQ(error, ReaderOpened);
  EXPECT_NE(dynamic_cast<CQTIMXDataReader*>(video.get()), nullptr);
  auto audio = CreateDataReader(imx->path.c_str(), qel::Unknown_File, Unknown_Video, Audio_Data, "f", &error);
  EXPECT_EQ(dynamic_cast<CQTIMXDataReader*>(audio.get()), nullptr);
  auto plain = CreateDataReader(prores->path.c_str(), qel::Unknown_File, Unknown_Video, Video_Data, "f", &error);
  EXPECT_NE(dynamic_cast<CQTDataReader*>(plain.get()), nullptr);
  EXPECT_EQ(dynamic_cast<CQTIMXDataReader*>(plain.get()), nullptr);
  if (avci) {
    auto formatter = CreateDataReader(avci->path.c_str(), qel::Unknown_File, Unknown_Video, Video_Data, "f", &error);
    EXPECT_EQ(error, ReaderOpened);
    EXPECT_NE(dynamic_cast<AvcIntraFormaterDataReader*>(formatter.get()), nullptr);
  }
  // The request's feature word reaches the reader; the switches set their bits.
  COXLDataReader::gdwDefaultFeatures = 0x12000000;
  EnableSuperMotion(true);
  ForceLegacyTC(true);
  EXPECT_EQ(COXLDataReader::gdwDefaultFeatures, 0x13000000u);
  EnableSuperMotion(false);
  ForceLegacyTC(false);
  EXPECT_EQ(COXLDataReader::gdwDefaultFeatures, 0x02000000u);
  auto without = CreateDataReader(prores->path.c_str(), qel::Unknown_File, Unknown_Video, Video_Data, "f", &error);
  EXPECT_FALSE(without->IsFeatureEnabled(0x10000000));
}

TEST_F(FactoryTest, RequestErrors) {
  TempDir dir;
  ErrorCode error = ReaderOpened;
  EXPECT_EQ(CreateDataReader(dir.write("noise.mov", std::string(5000, 'n')).c_str(), qel::Unknown_File, Unknown_Video,
                             Video_Data, "f", &error),
            nullptr);
  EXPECT_EQ(error, FileTypeUnknown);
  // A type that has no reader, and a type whose reader cannot open the file.
  EXPECT_EQ(CreateDataReader(dir.write("x.mov", "x").c_str(), qel::QTUnknown_File, Unknown_Video, Video_Data, "f",
                             &error),
            nullptr);
  EXPECT_EQ(error, NoReaderForFileType);
  EXPECT_EQ(CreateDataReader(dir.write("y.mov", "y").c_str(), qel::QTProRes_File, Unknown_Video, Video_Data, "f", &error),
            nullptr);
  EXPECT_EQ(error, OpenFailed);
  // HTTP transport streams are type 2 unopened; the factory has no reader and
  // leaves the request's error as it was filled in (1).
  VideoDataType vdt = H264_Video;
  EXPECT_EQ(GetFileType("http://host/live.TS", &vdt, nullptr, "f"), qel::TS_File);
  EXPECT_EQ(vdt, Unknown_Video);
  error = OpenFailed;
  EXPECT_EQ(CreateDataReader("http://host/live.ts", qel::Unknown_File, Unknown_Video, Video_Data, "f", &error), nullptr);
  EXPECT_EQ(error, FileTypeUnknown);
}

TEST_F(FactoryTest, OnACallersFileReader) {
  const MediaFixture* prores = Case("prores_proxy_25_twos");
  ASSERT_TRUE(prores);
  SimpleFileReader file;
  ASSERT_EQ(file.OpenFile(prores->path.c_str(), 0), 0);
  ErrorCode error = FileTypeUnknown;
  auto reader = CreateDataReader(&file, qel::QTProRes_File, ProResProxy_Video, Video_Data, "f", &error);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(error, ReaderOpened);
  reader->UseFileReader(nullptr);  // the caller keeps its file reader
  TempDir dir;
  SimpleFileReader junk;
  ASSERT_EQ(junk.OpenFile(dir.write("junk.mov", std::string(100, 'j')).c_str(), 0), 0);
  EXPECT_EQ(CreateDataReader(&junk, qel::QTProRes_File, ProResProxy_Video, Video_Data, "f", &error), nullptr);
  EXPECT_EQ(error, OpenFailed);
  EXPECT_TRUE(junk.IsOpen() || junk.GetFileSize() == 100);  // not closed by the failed reader
}

TEST_F(FactoryTest, RefusedTypesAndGatewayPaths) {
  DATA_READER_MEDIA media;
  media.path = L"/nowhere.mxf";
  for (qel::FileType type : {qel::OPAtom_File, qel::MXFOP1ADNxHD_File, qel::WAVE_File, qel::OP1AXAVCI_File}) {
    media.fileType = type;
    EXPECT_EQ(QelFailure([&] { CreateFileDataReader(media, Video_Data, nullptr, "f"); }), kRefused) << type;
  }
  for (qel::FileType type : {qel::QTUnknown_File, qel::AAF_File}) {
    media.fileType = type;
    media.error = FileTypeUnknown;
    EXPECT_EQ(CreateFileDataReader(media, Video_Data, nullptr, "f"), nullptr);
    EXPECT_EQ(media.error, NoReaderForFileType) << type;
  }
  media.fileType = qel::PSMPEG2_File;
  media.error = FileTypeUnknown;
  EXPECT_EQ(CreateFileDataReader(media, Video_Data, nullptr, "f"), nullptr);
  EXPECT_EQ(media.error, FileTypeUnknown);
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
  EXPECT_FALSE(IsRyPath("ry:\\\\gw\\clip"));
  EXPECT_TRUE(IsHttpTsPath("HTTP://a/b.Ts"));
  EXPECT_FALSE(IsHttpTsPath("https://host/a.ts"));
  EXPECT_TRUE(IsDots(L".."));
  EXPECT_FALSE(IsDots(L"..."));
}
