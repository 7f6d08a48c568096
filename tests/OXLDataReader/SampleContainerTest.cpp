// Framework samples and whole-media time limits built by the base reader.
#include <gtest/gtest.h>

#include <cstring>

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
  int inOutResult = 0, readResult = 0;
  bool progressive = false;
  double time = 0.0;
  std::string frame = "frame-bytes";
  bool lendOwnMemory = false;
  int audioInfos = -1;
  unsigned int audioRate = 0;

  int GetInOut(unsigned int* i, unsigned int* o, unsigned int* s) override {
    *i = in;
    *o = out;
    *s = system;
    return inOutResult;
  }
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override {
    info.VideoType = OXLDataReader::ProRes_Video;
    info.Resolution = OXLDataReader::HD_1080;
    info.AspectRatio = 3;
    info.Progressive = progressive;
    info.Width = 1920;
    info.Height = 1080;
    return true;
  }
  int GetNextData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* t) override {
    if (readResult) return readResult;
    if (lendOwnMemory) {
      data = reinterpret_cast<unsigned char*>(&frame[0]);
    } else {
      if (size < frame.size()) return 2;
      std::memcpy(data, frame.data(), frame.size());
    }
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

}  // namespace

TEST(SampleContainer, CarriesBytesTimeAndDescription) {
  FixedReader reader;
  reader.time = 2.0;
  auto container = reader.GetNextDataSampleContainer();
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(Bytes(*container), "frame-bytes");
  const auto& limits = container->GetSample()->GetTimeLimits();
  EXPECT_EQ(limits.start.GetTimeNumber(), 50);  // 2 s at 25/1
  EXPECT_EQ(limits.duration, 1);
  auto sample = std::dynamic_pointer_cast<const qel::IVideoSample>(container->GetSample());
  ASSERT_NE(sample, nullptr);
  auto params = sample->GetParameters();
  EXPECT_EQ(params->GetCodecFamily(), qel::VCodecFamily_ProRes);
  EXPECT_EQ(params->GetEditRate(), qel::EditRate(25, 1));
  EXPECT_EQ(params->GetScanMode(), qel::ScanMode_Interlaced);
  EXPECT_EQ(params->GetAspectRatio(), 3);
  EXPECT_EQ(params->GetNominalWidth(), 1920u);
  EXPECT_EQ(params->GetNominalHeight(), 1080u);
  auto track = sample->GetVideoInfo()->GetChannelInfo()->GetTrack();
  EXPECT_EQ(track->GetChannelCount(), 2u);  // two fields
  EXPECT_EQ(track->GetLayout(), qel::TrackLayout_Fields);
}

TEST(SampleContainer, ProgressiveAndNtscRates) {
  FixedReader reader;
  reader.system = 7;
  reader.progressive = true;
  reader.time = 1.0;
  auto container = reader.GetNextDataSampleContainer();
  EXPECT_EQ(container->GetSample()->GetTimeLimits().start.GetTimeNumber(), 59);  // trunc(59.94)
  auto sample = std::dynamic_pointer_cast<const qel::IVideoSample>(container->GetSample());
  EXPECT_EQ(sample->GetVideoInfo()->GetChannelInfo()->GetTrack()->GetChannelCount(), 1u);
  EXPECT_EQ(sample->GetParameters()->GetScanMode(), qel::ScanMode_Progressive);
}

TEST(SampleContainer, LentBytesAreCopiedIntoRecycledBuffers) {
  FixedReader reader;
  const unsigned char* first = reader.GetNextDataSampleContainer()->GetSample()->GetBuffer()->GetData();
  reader.lendOwnMemory = true;
  auto container = reader.GetNextDataSampleContainer();
  EXPECT_EQ(container->GetSample()->GetBuffer()->GetData(), first);
  reader.frame.assign(reader.frame.size(), '?');
  EXPECT_EQ(Bytes(*container), "frame-bytes");
}

TEST(SampleContainerFailures, ReadErrorsInBothDirections) {
  oxltest::CapturingLogger log;
  FixedReader reader;
  reader.readResult = 1;
  EXPECT_EQ(oxltest::QelFailure([&] { reader.GetNextDataSampleContainer(); }), "[GetNextData error] [ Condition is not true ]");
  EXPECT_EQ(oxltest::QelFailure([&] { reader.GetPrevDataSampleContainer(); }), "[GetNextData error] [ Condition is not true ]");
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines().back().source, "OXLDataReader/OXLDataReader");
}

TEST(SampleContainerFailures, SystemFiveHasLimitsButNoSamples) {
  oxltest::CapturingLogger log;
  FixedReader reader;
  reader.system = 5;
  reader.out = 100;
  EXPECT_EQ(oxltest::QelFailure([&] { reader.GetNextDataSampleContainer(); }), "[invalid video system]");
  EXPECT_EQ(reader.GetTimeLimits().start.GetEditRate(), qel::EditRate(2997, 100));
  reader.system = 4;  // a failed build is retried on the next call
  EXPECT_NE(reader.GetNextDataSampleContainer(), nullptr);
  FixedReader noSystem;  // no video system means no rate
  noSystem.system = 0;
  EXPECT_EQ(oxltest::QelFailure([&] { noSystem.GetNextDataSampleContainer(); }), "[denominator is 0] [ Condition is not true ]");
}

TEST(TimeLimits, VideoInFieldsBecomesFrames) {
  FixedReader reader;
  reader.in = 100;
  reader.out = 350;
  auto limits = reader.GetTimeLimits();
  EXPECT_EQ(limits.start.GetTimeNumber(), 50);
  EXPECT_EQ(limits.duration, 125);
  reader.system = 6;  // 50/1 counts frames
  limits = reader.GetTimeLimits();
  EXPECT_EQ(limits.start.GetTimeNumber(), 100);
  EXPECT_EQ(limits.duration, 250);
}

TEST(TimeLimits, AudioInSamplesAtTheStreamRate) {
  FixedReader reader(OXLDataReader::Audio_Data);
  reader.out = 50;
  auto limits = reader.GetTimeLimits();  // no audio information: 48 kHz
  EXPECT_EQ(limits.start.GetEditRate().numerator, 48000u);
  EXPECT_EQ(limits.start.GetTimeNumber(), 0);
  EXPECT_EQ(limits.duration, 48000);
  reader.audioInfos = 2;
  reader.audioRate = 44100;
  reader.in = 50;
  reader.out = 150;
  limits = reader.GetTimeLimits();
  EXPECT_EQ(limits.start.GetTimeNumber(), 44100);
  EXPECT_EQ(limits.duration, 88200);
  reader.audioInfos = 0;  // no entry: 48 kHz again
  EXPECT_EQ(reader.GetTimeLimits().start.GetEditRate().numerator, 48000u);
}

TEST(TimeLimits, OtherDataInMicroseconds) {
  FixedReader reader(OXLDataReader::Other_Data);
  reader.system = 7;
  reader.in = 0;
  reader.out = 5994;
  auto limits = reader.GetTimeLimits();
  EXPECT_EQ(limits.start.GetEditRate().numerator, 1000000u);
  EXPECT_NEAR(static_cast<double>(limits.duration), 100000000.0, 1.0);
}

TEST(TimeLimits, FailuresOfInOutAndSystem) {
  oxltest::CapturingLogger log;
  FixedReader reader;
  reader.inOutResult = 1;
  EXPECT_EQ(oxltest::QelFailure([&] { reader.GetTimeLimits(); }), "[Failed to get in out from datareader]");
  reader.inOutResult = 0;
  reader.system = 0xFFFFFFFF;
  EXPECT_EQ(oxltest::QelFailure([&] { reader.GetTimeLimits(); }), "[invalid video system]");
  reader.system = 0;  // video at an empty rate: frames of nothing, but no failure
  EXPECT_EQ(reader.GetTimeLimits().duration, 0);
}
