// Framework samples and whole-media time limits built by the base reader,
// for what the QuickTime files do not reach: lent memory, field and
// microsecond limits, audio rates, failures. Frames and starts of real
// files are checked with QTDataReaderFilesTest.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "OXLDataReader/DataReaderTimeLimits.h"
#include "OXLDataReader/OXLDataReader.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"

namespace {

// A reader that answers from fixed values, as a container reader would.
class FixedReader : public COXLDataReader {
 public:
  explicit FixedReader(OXLDataReader::DataType type = OXLDataReader::Video_Data) : COXLDataReader(type, 0, "t") {}
  unsigned int system = 3, in = 0, out = 0;
  int inOutResult = 0, readResult = 0, audioInfos = -1;
  bool progressive = false, lendOwnMemory = false;
  double time = 0.0;
  std::string frame = "frame-bytes";
  unsigned int audioRate = 0;

  int GetInOut(unsigned int* i, unsigned int* o, unsigned int* s) override {
    *i = in, *o = out, *s = system;
    return inOutResult;
  }
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override {
    info.VideoType = OXLDataReader::ProRes_Video;
    info.Resolution = OXLDataReader::HD_1080;
    info.AspectRatio = 3;
    info.Progressive = progressive;
    return true;
  }
  int GetNextData(unsigned char*& data, unsigned int, unsigned int* dataSize, double* t) override {
    if (readResult) return readResult;
    if (lendOwnMemory) data = reinterpret_cast<unsigned char*>(&frame[0]);
    else std::memcpy(data, frame.data(), frame.size());
    *dataSize = static_cast<unsigned int>(frame.size());
    *t = time;
    return 0;
  }
  int GetPrevData(unsigned char*&, unsigned int, unsigned int*, double*) override { return 5; }
  int GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>& infos) override {
    if (audioInfos < 0) return -1;
    infos.resize(audioInfos);
    for (auto& i : infos) i.SampleRate = audioRate;
    return 0;
  }
};

std::string Bytes(const qel::ISampleContainer& c) {
  auto buffer = c.GetSample()->GetBuffer();
  return std::string(reinterpret_cast<const char*>(buffer->GetData()), buffer->GetSize());
}

TEST(SampleContainer, DescriptionFollowsTheVideoInfoAndLentBytesAreCopied) {
  for (bool progressive : {false, true}) {
    FixedReader reader;
    reader.progressive = progressive;
    auto sample = std::dynamic_pointer_cast<const qel::IVideoSample>(reader.GetNextDataSampleContainer()->GetSample());
    ASSERT_NE(sample, nullptr);
    auto params = sample->GetParameters();
    EXPECT_EQ(params->GetCodecFamily(), qel::VCodecFamily_ProRes);
    EXPECT_EQ(params->GetScanMode(), progressive ? qel::ScanMode_Progressive : qel::ScanMode_Interlaced);
    EXPECT_EQ(params->GetAspectRatio(), 3);
    EXPECT_EQ(std::make_pair(params->GetNominalWidth(), params->GetNominalHeight()), std::make_pair(1920u, 1080u));
    auto track = sample->GetVideoInfo()->GetChannelInfo()->GetTrack();
    EXPECT_EQ(track->GetChannelCount(), progressive ? 1u : 2u);
    EXPECT_EQ(track->GetLayout(), progressive ? qel::TrackLayout_Frame : qel::TrackLayout_Fields);
  }
  FixedReader reader;
  const unsigned char* first = reader.GetNextDataSampleContainer()->GetSample()->GetBuffer()->GetData();
  reader.lendOwnMemory = true;
  auto container = reader.GetNextDataSampleContainer();
  EXPECT_EQ(container->GetSample()->GetBuffer()->GetData(), first);  // recycled
  reader.frame.assign(reader.frame.size(), '?');
  EXPECT_EQ(Bytes(*container), "frame-bytes");
}

TEST(SampleContainer, ReadErrorsAndVideoSystemsWithoutPictureRate) {
  oxltest::CapturingLogger log;
  FixedReader reader;
  reader.readResult = 1;
  EXPECT_EQ(oxltest::QelFailure([&] { reader.GetNextDataSampleContainer(); }), "[GetNextData error] [ Condition is not true ]");
  EXPECT_THROW(reader.GetPrevDataSampleContainer(), qel::QELRuntimeError);
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines().back().source, "OXLDataReader/OXLDataReader");
  FixedReader fieldSystem;
  fieldSystem.system = 5;
  EXPECT_EQ(oxltest::QelFailure([&] { fieldSystem.GetNextDataSampleContainer(); }), "[invalid video system]");
  fieldSystem.system = 4;  // a failed build is retried on the next call
  fieldSystem.time = 1.0;
  EXPECT_EQ(fieldSystem.GetNextDataSampleContainer()->GetSample()->GetTimeLimits().start.GetTimeNumber(), 29);
  FixedReader noSystem;  // no video system means no rate
  noSystem.system = 0;
  EXPECT_THROW(noSystem.GetNextDataSampleContainer(), qel::QELRuntimeError);
}

// Video in and out count fields (frames at 50 and 59.94), sound samples at
// the first stream's rate (48 kHz without one), other data milliseconds.
TEST(TimeLimits, VideoFieldsAudioSamplesAndOtherMicroseconds) {
  const std::tuple<OXLDataReader::DataType, unsigned, unsigned, unsigned, qel::EditRate, int64_t, int64_t> rows[] = {
      {OXLDataReader::Video_Data, 3, 100, 350, qel::EditRate(25, 1), 50, 125},
      {OXLDataReader::Video_Data, 6, 100, 350, qel::EditRate(50, 1), 100, 250},
      {OXLDataReader::Video_Data, 5, 0, 100, qel::EditRate(2997, 100), 0, 50},
      {OXLDataReader::Audio_Data, 3, 0, 50, qel::EditRate(48000, 1), 0, 48000},
      {OXLDataReader::Other_Data, 7, 0, 5994, qel::EditRate(1000000, 1), 0, 100000000}};
  for (auto [type, system, in, out, rate, start, duration] : rows) {
    FixedReader reader(type);
    reader.system = system, reader.in = in, reader.out = out;
    const qel::TimeLimits limits = reader.GetTimeLimits();
    EXPECT_EQ(limits.start.GetEditRate(), rate) << type << " " << system;
    EXPECT_EQ(limits.start.GetTimeNumber(), start) << type << " " << system;
    EXPECT_NEAR(double(limits.duration), double(duration), 1.0) << type << " " << system;
  }
  FixedReader audio(OXLDataReader::Audio_Data);
  audio.audioInfos = 2, audio.audioRate = 44100, audio.in = 50, audio.out = 150;
  EXPECT_EQ(audio.GetTimeLimits().start, qel::MediaTime(qel::EditRate(44100, 1), 44100));
  EXPECT_EQ(audio.GetTimeLimits().duration, 88200);
  audio.audioInfos = 0;  // no entry: 48 kHz again
  EXPECT_EQ(audio.GetTimeLimits().start.GetEditRate().numerator, 48000u);
}

TEST(TimeLimits, FailuresOfInOutAndSystem) {
  oxltest::CapturingLogger log;
  FixedReader reader;
  reader.inOutResult = 1;
  EXPECT_EQ(oxltest::QelFailure([&] { reader.GetTimeLimits(); }), "[Failed to get in out from datareader]");
  reader.inOutResult = 0;
  reader.system = 0xFFFFFFFF;
  EXPECT_THROW(reader.GetTimeLimits(), qel::QELRuntimeError);
  reader.system = 0;  // video at an empty rate: frames of nothing, but no failure
  EXPECT_EQ(reader.GetTimeLimits().duration, 0);
}

}  // namespace
