// The context reader kept from identification.
#include <gtest/gtest.h>

#include "OXLDataReader/DataReaderContextReader.h"
#include "OXLFileAccess/SimpleFileReader.h"

namespace {

struct AnsweringReader : COXLDataReader {
  AnsweringReader() : COXLDataReader(OXLDataReader::Video_Data, 0, "ctx") {}
  int inOutResult = 0, videoInfoCalls = 0;
  bool videoInfoResult = true;
  int GetInOut(unsigned int* in, unsigned int* out, unsigned int* system) override {
    *in = 100, *out = 350, *system = 4;
    return inOutResult;
  }
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override {
    info.Width = 720;
    return ++videoInfoCalls, videoInfoResult;
  }
  int Initialize(bool) override { return 0; }
};

struct BaseContext : IContextReader {
  int GetType() const override { return 0; }
};

}  // namespace

// Timecode from the reader (12 when it fails, 4 without one, 11 and zeroes
// from the base); video info asked until the reader gives it, then cached;
// the reader is detached, not deleted, when the context goes.
TEST(ContextReader, TimecodeAndCachedVideoInfoFromTheReader) {
  auto reader = std::make_shared<AnsweringReader>();
  unsigned int in = 0, out = 0;
  OxlTbx::VideoSystem system = OxlTbx::VS_Invalid;
  OXLDataReader::VIDEO_INFO info{};
  {
    DataReaderContextReader context(reader);
    EXPECT_EQ(context.GetType(), 1);
    EXPECT_EQ(context.GetTC(in, out, system), 0);
    EXPECT_EQ(in + out, 450u);
    EXPECT_EQ(system, OxlTbx::VS_NTSCDrop);
    reader->inOutResult = -1;
    EXPECT_EQ(context.GetTC(in, out, system), 12);
    reader->videoInfoResult = false;
    EXPECT_FALSE(context.GetVideoInfo(info));
    reader->videoInfoResult = true;
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(context.GetVideoInfo(info));
    EXPECT_EQ(info.Width, 720u);
    EXPECT_EQ(reader->videoInfoCalls, 2);
  }
  EXPECT_EQ(DataReaderContextReader(nullptr).GetTC(in, out, system), 4);
  EXPECT_EQ(BaseContext().GetTC(in, out, system), 11);
  EXPECT_EQ(in + out, 0u);
  EXPECT_EQ(system, OxlTbx::VS_Invalid);
  SimpleFileReader file;
  ASSERT_EQ(reader->UseFileReader(&file), 0);
  { DataReaderContextReader owner(reader); }
  EXPECT_EQ(reader->GetFileReader(), nullptr);  // detached, not deleted: `file` lives on the stack
}
