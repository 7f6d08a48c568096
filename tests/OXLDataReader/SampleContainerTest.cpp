// Samples and time limits built by the base reader where the QuickTime file
// tests do not reach: lent memory, field systems, microseconds, audio rates.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "OXLDataReader/OXLDataReader.h"

namespace {

// A reader that answers from fixed values, as a container reader would.
class FixedReader : public COXLDataReader {
 public:
  explicit FixedReader(OXLDataReader::DataType type = OXLDataReader::Video_Data) : COXLDataReader(type, 0, "t") {}
  unsigned int system = 3, in = 0, out = 0;
  OXLDataReader::VideoDataType videoType = OXLDataReader::ProRes_Video;
  int audioInfos = -1;
  bool lendOwnMemory = false;
  double time = 0.0;
  std::string frame = "frame-bytes";
  unsigned int audioRate = 0;

  int GetInOut(unsigned int* i, unsigned int* o, unsigned int* s) override {
    *i = in, *o = out, *s = system;
    return 0;
  }
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override {
    info.VideoType = videoType, info.Resolution = OXLDataReader::HD_1080;
    return true;
  }
  int GetNextData(unsigned char*& data, unsigned int, unsigned int* dataSize, double* t) override {
    if (lendOwnMemory) data = reinterpret_cast<unsigned char*>(&frame[0]);
    else std::memcpy(data, frame.data(), frame.size());
    *dataSize = static_cast<unsigned int>(frame.size());
    *t = time;
    return 0;
  }
  int GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>& infos) override {
    if (audioInfos < 0) return -1;
    infos.resize(audioInfos);
    for (auto& i : infos) i.SampleRate = audioRate;
    return 0;
  }
};

std::shared_ptr<const qel::IVideoSample> VideoSample(FixedReader& reader) {
  return std::dynamic_pointer_cast<const qel::IVideoSample>(reader.GetNextDataSampleContainer()->GetSample());
}

// Interlaced pictures make a track of two fields; lent bytes are copied into
// the container's own (recycled) buffer; a video system without picture rate
// (the field systems) fails the sample, and a later one is tried again. Video
// types past the last one (50) have no codec family.
TEST(SampleContainer, DescriptionAndLentBytes) {
  FixedReader reader;
  auto sample = VideoSample(reader);
  EXPECT_EQ(sample->GetParameters()->GetCodecFamily(), qel::VCodecFamily_ProRes);
  FixedReader last, past;
  last.videoType = OXLDataReader::H264_Intra, past.videoType = static_cast<OXLDataReader::VideoDataType>(51);
  EXPECT_EQ(VideoSample(last)->GetParameters()->GetCodecFamily(), qel::VCodecFamily_AVC);
  EXPECT_EQ(VideoSample(past)->GetParameters()->GetCodecFamily(), qel::VCodecFamily_Unknown);
  EXPECT_EQ(sample->GetVideoInfo()->GetChannelInfo()->GetTrack()->GetChannelCount(), 2u);
  const unsigned char* first = sample->GetBuffer()->GetData();
  sample.reset();
  reader.lendOwnMemory = true;
  auto container = reader.GetNextDataSampleContainer();
  EXPECT_EQ(container->GetSample()->GetBuffer()->GetData(), first);  // recycled
  reader.frame.assign(reader.frame.size(), '?');
  auto bytes = container->GetSample()->GetBuffer();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes->GetData()), bytes->GetSize()), "frame-bytes");
  FixedReader fieldSystem;
  fieldSystem.system = 5;
  EXPECT_THROW(fieldSystem.GetNextDataSampleContainer(), qel::QELRuntimeError);
  fieldSystem.system = 4;
  EXPECT_NE(fieldSystem.GetNextDataSampleContainer(), nullptr);
}

// Sound is in samples at the first stream's rate (48 kHz without one), other
// data in microseconds. (Video in frames: QtFilePositioning.)
TEST(TimeLimits, AudioSamplesAndOtherMicroseconds) {
  const std::tuple<OXLDataReader::DataType, unsigned, unsigned, unsigned, qel::EditRate, int64_t, int64_t> rows[] = {
      {OXLDataReader::Audio_Data, 3, 0, 50, qel::EditRate(48000, 1), 0, 48000},
      {OXLDataReader::Other_Data, 7, 0, 5994, qel::EditRate(1000000, 1), 0, 100000000}};
  for (auto [type, system, in, out, rate, start, duration] : rows) {
    FixedReader reader(type);
    reader.system = system, reader.in = in, reader.out = out;
    const qel::TimeLimits limits = reader.GetTimeLimits();
    EXPECT_EQ(limits.start, qel::MediaTime(rate, start)) << type;
    EXPECT_NEAR(double(limits.duration), double(duration), 1.0) << type;
  }
  FixedReader audio(OXLDataReader::Audio_Data);
  audio.audioInfos = 2, audio.audioRate = 44100, audio.in = 50, audio.out = 150;
  EXPECT_EQ(audio.GetTimeLimits().start, qel::MediaTime(qel::EditRate(44100, 1), 44100));
  EXPECT_EQ(audio.GetTimeLimits().duration, 88200);  // 2 s
}

}  // namespace
