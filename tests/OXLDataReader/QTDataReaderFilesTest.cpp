// The QuickTime reader on movies made by FFmpeg: every codec family the
// reader names, at 25, 29.97, 50 and 59.94 frames per second, with PCM and
// AAC sound. What it delivers is checked against ffprobe's packets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "QTFileCases.h"
#include "qelCore/Sample.h"
#include "support/FFmpegTools.h"

using namespace qtfiles;
using oxltest::Md5Hash;
using oxltest::ProbePacket;

namespace {

class QtFileVideoReading : public QtFileTest {};
class QtFileDescription : public QtFileTest {};
class QtFileInOut : public QtFileTest {};

// The edit rate of a video system, as the framework counts frames.
qel::EditRate SystemRate(OxlTbx::VideoSystem system) {
  switch (system) {
    case OxlTbx::VS_PAL: return {25, 1};
    case OxlTbx::VS_NTSCDrop: return {2997, 100};
    case OxlTbx::VS_FieldPAL: return {50, 1};
    case OxlTbx::VS_FieldNTSCDrop: return {5994, 100};
    default: return {0, 0};
  }
}

// Resolution class of a picture height: 2160 UHD; 720 lines and more HD
// (1080 from 1080 on); 576-719 SD 625; 480-575 SD 525; 288-479 and below low resolution.
OXLDataReader::VideoResolution ResolutionOfHeight(int height) {
  if (height == 2160) return OXLDataReader::UHD_2160;
  if (height >= 1080) return OXLDataReader::HD_1080;
  if (height >= 720) return OXLDataReader::HD_720;
  if (height >= 576) return OXLDataReader::SD_625;
  if (height >= 480) return OXLDataReader::SD_525;
  if (height >= 288) return OXLDataReader::LowRes_288;
  return OXLDataReader::LowRes_240;
}

// Aspect code of a picture: 3 (16:9) for HD; for SD the display ratio from
// the pixel aspect ratio, 3 within 0.1 of 16:9, 2 within 0.1 of 4:3, else 0;
// 0 for low resolution.
uint8_t AspectCodeOf(int width, int height, const std::string& pixelAspect) {
  const auto resolution = ResolutionOfHeight(height);
  if (OXLDataReader::IsHDVideo(resolution)) return 3;
  if (!OXLDataReader::IsSDVideo(resolution)) return 0;
  unsigned int h = 0, v = 0;
  if (std::sscanf(pixelAspect.c_str(), "%u:%u", &h, &v) != 2 || v == 0) return 0;
  const double ratio = double(width) * h / (double(v) * height);
  if (std::fabs(ratio - 16.0 / 9.0) <= 0.1) return 3;
  if (std::fabs(ratio - 4.0 / 3.0) <= 0.1) return 2;
  return 0;
}

// A movie's "fiel" atom decides; without one, 50 and 59.94 frames/s are progressive.
bool IsProgressiveMovie(const oxltest::MediaFixture& fixture) {
  if (auto fields = FieldCountAtom(fixture.path)) return *fields == 1;
  const auto system = VideoSystemOf(fixture.probe.Stream("v:0"));
  return system == OxlTbx::VS_FieldPAL || system == OxlTbx::VS_FieldNTSCDrop;
}

double ContentSeconds(const std::vector<ProbePacket>& packets, const oxltest::ProbeStream& stream) {
  int64_t total = 0;
  for (const auto& p : packets) total += p.duration.value_or(0);
  return Seconds(total, stream);
}

}  // namespace

TEST_P(QtFileVideoReading, ForwardDeliversEveryPacketOnceWithItsTime) {
  const auto expected = ExpectedVideoDeliveries(Fixture(), GetParam().longGop);
  auto reader = OpenReader(OXLDataReader::Video_Data);
  const auto deliveries = ReadForward(*reader, expected.size() + 2);
  ASSERT_EQ(deliveries.size(), expected.size());
  const double halfFrame = 0.5 / FrameRate(Video());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("delivery " + std::to_string(i));
    EXPECT_EQ(deliveries[i].bytes.size(), expected[i].bytes.size());
    EXPECT_EQ(Md5Hash(deliveries[i].bytes), expected[i].md5);
    EXPECT_NEAR(deliveries[i].time, expected[i].pts, halfFrame);
  }
}

// Backwards, each read steps back to the previous sync sample: long GOP
// groups in reverse; intra frames in reverse, but delta frames of an intra
// codec (RLE) are passed over.
TEST_P(QtFileVideoReading, BackwardFromTheEndDeliversTheSyncDeliveriesInReverse) {
  const auto expected = SyncDeliveries(Fixture(), ExpectedVideoDeliveries(Fixture(), GetParam().longGop));
  auto reader = OpenReader(OXLDataReader::Video_Data);
  ASSERT_EQ(reader->GoToDataEnd(), 0);
  const auto deliveries = ReadBackward(*reader, expected.size() + 2);
  ASSERT_EQ(deliveries.size(), expected.size());
  const double halfFrame = 0.5 / FrameRate(Video());
  for (size_t i = 0; i < expected.size(); ++i) {
    const ExpectedDelivery& want = expected[expected.size() - 1 - i];
    SCOPED_TRACE("delivery " + std::to_string(i) + " from the end");
    EXPECT_EQ(Md5Hash(deliveries[i].bytes), want.md5);
    EXPECT_NEAR(deliveries[i].time, want.pts, halfFrame);
  }
  // At the start, the next forward read is the first delivery again.
  const auto again = ReadForward(*reader, 0);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again.front().bytes, expected.front().bytes);
}

// After k forward reads the position is the start of delivery k: a backward
// read delivers the sync delivery before it, and a forward read after that
// delivers the same again. (Up to 20 values of k in a long movie.)
TEST_P(QtFileVideoReading, ChangingDirectionContinuesFromThePosition) {
  const auto forward = ExpectedVideoDeliveries(Fixture(), GetParam().longGop);
  const auto sync = SyncDeliveries(Fixture(), forward);
  for (size_t k : SpreadIndexes(forward.size(), 20)) {
    if (k == 0) continue;
    SCOPED_TRACE("after " + std::to_string(k) + " forward reads");
    auto reader = OpenReader(OXLDataReader::Video_Data);
    ASSERT_EQ(ReadForward(*reader, k - 1).size(), k);
    const ExpectedDelivery& want = sync[DeliveryAtOrBefore(sync, forward[k].first - 1)];
    const auto back = ReadBackward(*reader, 0);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back.front().bytes, want.bytes);
    const auto again = ReadForward(*reader, 0);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.front().bytes, want.bytes);
    EXPECT_NEAR(again.front().time, want.pts, 1e-6);
  }
}

// A buffer one byte short is refused with the size needed, and the read can
// be repeated with a larger one.
TEST_P(QtFileVideoReading, ABufferTooSmallReportsTheSizeAndKeepsThePosition) {
  const auto expected = ExpectedVideoDeliveries(Fixture(), GetParam().longGop);
  auto reader = OpenReader(OXLDataReader::Video_Data);
  const unsigned int need = static_cast<unsigned int>(expected.front().bytes.size());
  std::vector<unsigned char> buffer(need);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = -1;
  EXPECT_EQ(reader->GetNextData(data, need - 1, &size, &time), 101);
  EXPECT_EQ(size, need);
  ASSERT_EQ(reader->GetNextData(data, need, &size, &time), 0);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected.front().bytes);
  if (expected.size() < 2) return;
  const auto second = ReadForward(*reader, 0);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second.front().bytes, expected[1].bytes);
}

// Framework samples carry the same bytes; their start counts frames at the
// rate of the video system: the truncation of rate x time. At 29.97 the
// rate 2997/100 is a little below 30000/1001, so frame k > 0 counts as k - 1.
TEST_P(QtFileVideoReading, SampleContainersCarryTheFramesAtTheSystemRate) {
  const auto expected = ExpectedVideoDeliveries(Fixture(), GetParam().longGop);
  auto reader = OpenReader(OXLDataReader::Video_Data);
  const qel::EditRate rate = SystemRate(VideoSystemOf(Video()));
  for (const ExpectedDelivery& want : expected) {
    SCOPED_TRACE("packet " + std::to_string(want.first));
    auto container = reader->GetNextDataSampleContainer();
    ASSERT_NE(container, nullptr);
    auto buffer = container->GetSample()->GetBuffer();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer->GetData()), buffer->GetSize()), want.bytes);
    const qel::TimeLimits& limits = container->GetSample()->GetTimeLimits();
    // A product that is a whole number in exact arithmetic may truncate either way in floating point.
    const double frames = double(rate.numerator) / rate.denominator * want.pts;
    const int64_t start = limits.start.GetTimeNumber();
    EXPECT_TRUE(start == int64_t(frames - 1e-9) || start == int64_t(frames + 1e-9)) << start << " for " << frames;
    EXPECT_EQ(limits.duration, 1);
  }
  EXPECT_THROW(reader->GetNextDataSampleContainer(), qel::QELRuntimeError);
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFileVideoReading, testing::ValuesIn(AllCases()), CaseName);

// Every sound track of the movie in turn, read from a reader made for sound.
class QtFileAudioReading : public QtFileTest {
 protected:
  std::vector<const oxltest::ProbeStream*> AudioStreams() const {
    std::vector<const oxltest::ProbeStream*> streams;
    for (const auto& s : Fixture().probe.streams)
      if (s.codecType == "audio") streams.push_back(&s);
    return streams;
  }
  static bool IsAac(const oxltest::ProbeStream& stream) { return stream.codecTag == "mp4a"; }

  // An AAC track's first packet holds the encoder's start-up samples; the
  // edit list starts the track after it, and so does the reader. PCM tracks
  // start with their first sample.
  std::vector<ProbePacket> PlayedPackets(const oxltest::ProbeStream& stream) const {
    std::vector<ProbePacket> packets;
    for (const auto& p : Fixture().probe.packets.at(size_t(stream.index)))
      if (p.pts.value_or(0) >= 0) packets.push_back(p);
    return packets;
  }
  std::string BytesOf(const std::vector<ProbePacket>& packets) const {
    std::string bytes;
    for (const auto& p : packets) bytes += PacketBytes(Fixture(), p);
    return bytes;
  }
  // A sound reader on the n-th sound track.
  std::unique_ptr<CQTDataReader> OpenTrack(size_t n) const {
    auto reader = OpenReader(OXLDataReader::Audio_Data);
    if (n > 0) {
      EXPECT_EQ(reader->SelectDataStream(int(n)), 0);
    }
    return reader;
  }
};

std::string Joined(const std::vector<Delivery>& deliveries) {
  std::string bytes;
  for (const auto& d : deliveries) bytes += d.bytes;
  return bytes;
}

// PCM chunks are delivered whole, each at the time of its first sample;
// AAC packets one by one, reported 2112 samples (the usual AAC priming)
// earlier than they play.
TEST_P(QtFileAudioReading, EveryAudioByteIsDeliveredOnceInOrder) {
  const auto streams = AudioStreams();
  for (size_t n = 0; n < streams.size(); ++n) {
    const auto& audio = *streams[n];
    SCOPED_TRACE("sound track " + std::to_string(n));
    const auto packets = PlayedPackets(audio);
    const std::string expected = BytesOf(packets);
    auto reader = OpenTrack(n);
    const auto deliveries = ReadForward(*reader, packets.size() * 4 + 16);
    const std::string delivered = Joined(deliveries);
    EXPECT_EQ(delivered.size(), expected.size());
    EXPECT_EQ(Md5Hash(delivered), Md5Hash(expected));
    if (IsAac(audio)) {
      ASSERT_EQ(deliveries.size(), packets.size());
    }
    const double bytesPerSecond = double(audio.sampleRate) * audio.channels * audio.bitsPerSample / 8;
    uint64_t before = 0;
    for (size_t i = 0; i < deliveries.size(); ++i) {
      SCOPED_TRACE("delivery " + std::to_string(i));
      const double want = IsAac(audio) ? Seconds(packets[i].pts.value_or(0), audio) - 2112.0 / audio.sampleRate
                                       : before / bytesPerSecond;
      EXPECT_NEAR(deliveries[i].time, want, 1e-6);
      before += deliveries[i].bytes.size();
    }
  }
}

// Backwards from the end the same deliveries come in reverse. Reading
// backwards runs to the track's first sample, so for AAC the packet before
// the edit start is delivered last.
TEST_P(QtFileAudioReading, BackwardFromTheEndDeliversTheSameInReverse) {
  const auto streams = AudioStreams();
  for (size_t n = 0; n < streams.size(); ++n) {
    SCOPED_TRACE("sound track " + std::to_string(n));
    const auto& all = Fixture().probe.packets.at(size_t(streams[n]->index));
    auto reader = OpenTrack(n);
    auto forward = ReadForward(*reader, all.size() * 4 + 16);
    ASSERT_EQ(reader->GoToDataEnd(), 0);
    auto backward = ReadBackward(*reader, all.size() * 4 + 16);
    std::reverse(backward.begin(), backward.end());
    if (IsAac(*streams[n])) {
      ASSERT_FALSE(backward.empty());
      EXPECT_EQ(backward.front().bytes, BytesOf({all.front()}));
      backward.erase(backward.begin());
    }
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i) {
      EXPECT_EQ(backward[i].bytes, forward[i].bytes) << "delivery " << i;
      EXPECT_NEAR(backward[i].time, forward[i].time, 1e-9) << "delivery " << i;
    }
  }
}

// One entry per sound track: its rate (the media time scale, which FFmpeg
// sets to the sample rate), channels and codec (AAC 3, PCM 0). Channels are
// those of the sample description: in an MP4 file that field is the ISO
// template value 2 whatever the stream holds (the true count is inside the
// AAC decoder configuration, which the reader does not read).
TEST_P(QtFileAudioReading, AudioInfosDescribeEveryTrack) {
  const auto streams = AudioStreams();
  std::vector<int> described;
  int total = 0;
  for (const auto* s : streams) {
    described.push_back(GetParam().container == "mp4" ? 2 : s->channels);
    total += described.back();
  }
  auto reader = OpenReader(OXLDataReader::Audio_Data);
  std::vector<MediaTool::AudioStream<const char*>> infos;
  EXPECT_EQ(reader->GetAudioInfos(infos), total);
  ASSERT_EQ(infos.size(), streams.size());
  std::vector<int> perTrack(8, -1);
  EXPECT_EQ(reader->GetDataStreams(perTrack.data(), int(perTrack.size())), int(streams.size()));
  for (size_t n = 0; n < streams.size(); ++n) {
    SCOPED_TRACE("sound track " + std::to_string(n));
    EXPECT_EQ(infos[n].SampleRate, unsigned(streams[n]->sampleRate));
    EXPECT_EQ(infos[n].Channels, unsigned(described[n]));
    EXPECT_EQ(infos[n].Codec, IsAac(*streams[n]) ? 3u : 0u);
    EXPECT_EQ(perTrack[n], described[n]);
  }
  EXPECT_EQ(reader->GetDataStreams(nullptr, 0), described.front());
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFileAudioReading, testing::ValuesIn(CasesWithAudio()), CaseName);

TEST_P(QtFileDescription, VideoSystemAndCodecFollowTheFile) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  EXPECT_EQ(reader->GetVideoSystem(), VideoSystemOf(Video()));
  EXPECT_EQ(reader->GetSystemEditRate(), SystemRate(VideoSystemOf(Video())));
  EXPECT_EQ(reader->GetVideoCodec(), GetParam().videoType);
  // The sound reader of the same movie takes the video system from its video track.
  if (!GetParam().audioTag.empty()) {
    EXPECT_EQ(OpenReader(OXLDataReader::Audio_Data)->GetVideoSystem(), VideoSystemOf(Video()));
  }
}

TEST_P(QtFileDescription, VideoInfoDescribesThePicture) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  OXLDataReader::VIDEO_INFO info{};
  ASSERT_TRUE(reader->GetVideoInfo(info));
  EXPECT_EQ(info.VideoType, GetParam().videoType);
  const int height = GetParam().describedHeight ? GetParam().describedHeight : Video().height;
  EXPECT_EQ(info.Width, unsigned(Video().width));
  EXPECT_EQ(info.Height, unsigned(height));
  EXPECT_EQ(info.Resolution, ResolutionOfHeight(height));
  EXPECT_EQ(info.AspectRatio, AspectCodeOf(Video().width, height, Video().sampleAspectRatio));
  EXPECT_EQ(info.Progressive, IsProgressiveMovie(Fixture()));
  EXPECT_EQ(info.EditRate, SystemRate(VideoSystemOf(Video())));
  // QuickTime graphics formats report their pixel depth: 24 for RGB.
  EXPECT_EQ(info.GraphicsFlag, GetParam().videoTag == "rle " ? 24 : 0);
  EXPECT_EQ(info.Reserved, 0u);
}

// In and out points count fields (frames at 50 and 59.94) from the
// timecode FFmpeg wrote; interlaced material ends on a whole frame. The
// framework time limits give the same span in frames.
TEST_P(QtFileInOut, InAndOutPointsSpanTheTimecodedMaterial) {
  const auto system = VideoSystemOf(Video());
  const unsigned int fieldsPerFrame = FieldsPerFrame(Video());
  const unsigned int nominalFps = static_cast<unsigned int>(std::lround(FrameRate(Video())));
  const std::string& timecode = Video().timecode;
  const uint32_t in = timecode.empty() ? 0 : TimecodeFrames(timecode, nominalFps) * fieldsPerFrame;
  const double fieldSeconds = 1.0 / (FrameRate(Video()) * fieldsPerFrame);
  uint32_t out = in + static_cast<uint32_t>(ContentSeconds(VideoPackets(), Video()) / fieldSeconds + 0.5);
  if (!IsProgressiveMovie(Fixture())) out &= ~1u;

  auto reader = OpenReader(OXLDataReader::Video_Data);
  EXPECT_EQ(reader->GetStartTimecode(), in);
  unsigned int gotIn = 1, gotOut = 1, gotSystem = 1;
  ASSERT_EQ(reader->GetInOut(&gotIn, &gotOut, &gotSystem), 0);
  EXPECT_EQ(gotIn, in);
  EXPECT_EQ(gotOut, out);
  EXPECT_EQ(gotSystem, unsigned(system));
  // The framework's limits of the whole media count frames of the system.
  const qel::TimeLimits limits = reader->GetTimeLimits();
  EXPECT_EQ(limits.start.GetEditRate(), SystemRate(system));
  EXPECT_EQ(limits.start.GetTimeNumber(), int64_t(in / fieldsPerFrame));
  EXPECT_EQ(limits.duration, int64_t(out / fieldsPerFrame) - int64_t(in / fieldsPerFrame));
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFileDescription, testing::ValuesIn(AllCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Movies, QtFileInOut, testing::ValuesIn(MovieHeaderCases()), CaseName);
