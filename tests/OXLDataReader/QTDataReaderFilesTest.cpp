// The QuickTime reader on FFmpeg's movies of every codec family it names:
// what it delivers, describes and where it positions, against ffprobe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "QTFileCases.h"
#include "qelCore/Sample.h"
#include "support/FFmpegTools.h"
#include "support/GrowingFile.h"

using namespace qtfiles;
using namespace oxltest;

namespace {

// The fixture of the test's case; skips the test when FFmpeg cannot make it.
class QtFileTest : public testing::TestWithParam<QtFileCase> {
 protected:
  void SetUp() override;
  const oxltest::MediaFixture& Fixture() const { return *m_Fixture; }
  const oxltest::ProbeStream& Video() const { return m_Fixture->probe.Stream("v:0"); }
  const std::vector<oxltest::ProbePacket>& VideoPackets() const { return m_Fixture->probe.Packets("v:0"); }
  std::unique_ptr<CQTDataReader> OpenReader(OXLDataReader::DataType type) const {
    auto reader = std::make_unique<CQTDataReader>(type, "qt-file-test");
    EXPECT_EQ(reader->Open(m_Fixture->path.c_str(), false), 0) << m_Fixture->path;
    return reader;
  }

 private:
  const oxltest::MediaFixture* m_Fixture = nullptr;
};

void QtFileTest::SetUp() {
  const QtFileCase& c = GetParam();
  m_Fixture = FindMediaFixture(c.name + "." + c.container, c.steps);
  if (!m_Fixture) {
    if (!HasFFmpegTools()) GTEST_SKIP() << "ffmpeg/ffprobe not available";
    for (const auto& encoder : c.encoders)
      if (!HasEncoder(encoder)) GTEST_SKIP() << "this ffmpeg has no " << encoder << " encoder";
    m_Fixture = CaseFixture(c);  // a failure unless the case may be unsupported
    if (!m_Fixture) GTEST_SKIP() << "this FFmpeg cannot make " << c.name;
  }
  ASSERT_EQ(Video().codecTag, c.videoTag) << "FFmpeg did not write the wanted video format";
  ASSERT_EQ(c.audioTag.empty() ? "" : Fixture().probe.Stream("a:0").codecTag, c.audioTag);
}

// The video system of each frame rate FFmpeg writes ("25/1"), the edit rate
// the framework counts frames in, and the fields of a frame.
struct RateSystem {
  const char* frameRate;
  double fps;
  OxlTbx::VideoSystem system;
  qel::EditRate editRate;
  unsigned int fieldsPerFrame;
};
const RateSystem& RateSystemOf(const ProbeStream& stream) {
  static const RateSystem systems[] = {{"25/1", 25.0, OxlTbx::VS_PAL, {25, 1}, 2},
                                       {"30000/1001", 30000.0 / 1001, OxlTbx::VS_NTSCDrop, {2997, 100}, 2},
                                       {"50/1", 50.0, OxlTbx::VS_FieldPAL, {50, 1}, 1},
                                       {"60000/1001", 60000.0 / 1001, OxlTbx::VS_FieldNTSCDrop, {5994, 100}, 1}};
  for (const RateSystem& r : systems)
    if (stream.frameRate == r.frameRate) return r;
  throw std::runtime_error("no video system at " + stream.frameRate);
}

// MPEG-2 I pictures of an open GOP, followed in decoding order by the
// leading B pictures shown before them: partial sync samples.
std::vector<bool> PartialSyncPackets(const MediaFixture& fixture) {
  const std::vector<ProbePacket>& packets = fixture.probe.Packets("v:0");
  std::vector<bool> partial(packets.size(), false);
  if (fixture.probe.Stream("v:0").codecName != "mpeg2video") return partial;
  for (size_t i = 1; i + 1 < packets.size(); ++i)
    partial[i] = packets[i].IsKey() && packets[i + 1].pts.value_or(0) < packets[i].pts.value_or(0);
  return partial;
}

size_t DeliveryAtOrBefore(const std::vector<ExpectedDelivery>& deliveries, size_t packet) {
  size_t found = 0;
  for (size_t i = 0; i < deliveries.size() && deliveries[i].first <= packet; ++i) found = i;
  return found;
}

// Up to `most` of 0 to count - 1, spread evenly, first and last included.
std::vector<size_t> SpreadIndexes(size_t count, size_t most) {
  std::vector<size_t> indexes;
  const size_t n = std::min(count, most);
  for (size_t i = 0; i < n; ++i) indexes.push_back(n < 2 ? i : i * (count - 1) / (n - 1));
  return indexes;
}

// Frame number of an SMPTE timecode ("10:00:00:00", drop frame "01:00:00;02").
uint32_t TimecodeFrames(const std::string& text, unsigned int fps) {
  unsigned int hh = 0, mm = 0, ss = 0, ff = 0;
  char sep = ':';
  if (std::sscanf(text.c_str(), "%u:%u:%u%c%u", &hh, &mm, &ss, &sep, &ff) != 5)
    throw std::runtime_error("not a timecode: " + text);
  const uint32_t minutes = hh * 60 + mm;
  uint32_t frames = (minutes * 60 + ss) * fps + ff;
  // SMPTE 12M drop frame: 2 (at 30) or 4 (at 60) numbers skipped each minute but every tenth.
  if (sep == ';') frames -= (fps / 15) * (minutes - minutes / 10);
  return frames;
}

std::vector<QtFileCase> CasesWhere(bool (*wanted)(const QtFileCase&)) {
  std::vector<QtFileCase> cases;
  std::copy_if(AllCases().begin(), AllCases().end(), std::back_inserter(cases), wanted);
  return cases;
}

class QtFileVideo : public QtFileTest {};

OXLDataReader::VideoResolution ResolutionOfHeight(int height) {
  if (height == 2160) return OXLDataReader::UHD_2160;
  if (height >= 1080) return OXLDataReader::HD_1080;
  if (height >= 720) return OXLDataReader::HD_720;
  if (height >= 576) return OXLDataReader::SD_625;
  if (height >= 480) return OXLDataReader::SD_525;
  return height >= 288 ? OXLDataReader::LowRes_288 : OXLDataReader::LowRes_240;
}

// Aspect code: 3 (16:9) for HD; for SD the display ratio from the pixel
// aspect ratio, 3 near 16:9, 2 near 4:3, else 0; 0 for low resolution.
uint8_t AspectCodeOf(int width, int height, const std::string& pixelAspect) {
  const auto resolution = ResolutionOfHeight(height);
  if (OXLDataReader::IsHDVideo(resolution)) return 3;
  unsigned int h = 0, v = 0;
  if (!OXLDataReader::IsSDVideo(resolution) || std::sscanf(pixelAspect.c_str(), "%u:%u", &h, &v) != 2 || !v) return 0;
  const double ratio = double(width) * h / (double(v) * height);
  return std::fabs(ratio - 16.0 / 9.0) <= 0.1 ? 3 : std::fabs(ratio - 4.0 / 3.0) <= 0.1 ? 2 : 0;
}

// The field count of a movie's "fiel" atom decides; without one, 50 and
// 59.94 frames/s are progressive.
bool IsProgressiveMovie(const oxltest::MediaFixture& fixture) {
  const std::string file = ReadWholeFile(fixture.path);
  const size_t found = file.find(std::string("\0\0\0\x0a" "fiel", 8));
  if (found != std::string::npos && found + 8 < file.size()) return file[found + 8] == 1;
  return RateSystemOf(fixture.probe.Stream("v:0")).fieldsPerFrame == 1;
}

}  // namespace

// A buffer one byte short is refused with the size needed and the read can
// be repeated. Forwards every delivery once with its time; backwards from
// the end each read steps back to the previous sync sample (delta frames of
// RLE are passed over), and at the start a forward read gives the first again.
TEST_P(QtFileVideo, EveryPacketForwardsAndTheSyncDeliveriesBackwards) {
  const auto expected = ExpectedVideoDeliveries(Fixture(), GetParam().longGop);
  const auto sync = ExpectedVideoDeliveries(Fixture(), GetParam().longGop, true);
  const double halfFrame = 0.5 / RateSystemOf(Video()).fps;
  auto reader = OpenReader(OXLDataReader::Video_Data);
  std::vector<unsigned char> small(expected.front().bytes.size() - 1);
  unsigned char* data = small.data();
  unsigned int size = 0;
  double time = -1;
  EXPECT_EQ(reader->GetNextData(data, unsigned(small.size()), &size, &time), 101);
  EXPECT_EQ(size, expected.front().bytes.size());
  const auto forward = ReadForward(*reader, expected.size() + 2);
  ASSERT_EQ(forward.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("delivery " + std::to_string(i));
    EXPECT_EQ(Md5Hash(forward[i].bytes), expected[i].md5);
    EXPECT_NEAR(forward[i].time, expected[i].pts, halfFrame);
  }
  ASSERT_EQ(reader->GoToDataEnd(), 0);
  const auto backward = ReadBackward(*reader, sync.size() + 2);
  ASSERT_EQ(backward.size(), sync.size());
  for (size_t i = 0; i < sync.size(); ++i) {
    SCOPED_TRACE("delivery " + std::to_string(i) + " from the end");
    EXPECT_EQ(Md5Hash(backward[i].bytes), sync[sync.size() - 1 - i].md5);
    EXPECT_NEAR(backward[i].time, sync[sync.size() - 1 - i].pts, halfFrame);
  }
  const auto again = ReadForward(*reader, 0);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again.front().bytes, expected.front().bytes);
}

TEST_P(QtFileVideo, SystemCodecAndPictureFollowTheFile) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  const auto system = RateSystemOf(Video()).system;
  EXPECT_EQ(reader->GetVideoSystem(), system);
  EXPECT_EQ(reader->GetSystemEditRate(), RateSystemOf(Video()).editRate);
  EXPECT_EQ(reader->GetVideoCodec(), GetParam().videoType);
  if (!GetParam().audioTag.empty()) {  // a sound reader takes the system from the video track
    EXPECT_EQ(OpenReader(OXLDataReader::Audio_Data)->GetVideoSystem(), system);
  }
  OXLDataReader::VIDEO_INFO info{};
  ASSERT_TRUE(reader->GetVideoInfo(info));
  EXPECT_EQ(info.VideoType, GetParam().videoType);
  const int height = GetParam().describedHeight ? GetParam().describedHeight : Video().height;
  EXPECT_EQ(info.Width, unsigned(Video().width));
  EXPECT_EQ(info.Height, unsigned(height));
  EXPECT_EQ(info.Resolution, ResolutionOfHeight(height));
  EXPECT_EQ(info.AspectRatio, AspectCodeOf(Video().width, height, Video().sampleAspectRatio));
  EXPECT_EQ(info.Progressive, IsProgressiveMovie(Fixture()));
  EXPECT_EQ(info.EditRate, RateSystemOf(Video()).editRate);
  EXPECT_EQ(info.GraphicsFlag, GetParam().videoTag == "rle " ? 24 : 0);  // RGB depth of graphics formats
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFileVideo, testing::ValuesIn(AllCases()), CaseName);

class QtFileAudio : public QtFileTest {};

// PCM chunks are delivered whole, each at the time of its first sample; AAC
// packets one by one from the first the edit list plays (after the priming
// packet, which comes last backwards), reported 2112 samples early. Channels
// are the sample description's: in an MP4 file the ISO template value 2.
TEST_P(QtFileAudio, EveryAudioByteOnceInOrderBothWaysAndEveryTrackDescribed) {
  std::vector<const ProbeStream*> streams;
  for (const auto& s : Fixture().probe.streams)
    if (s.codecType == "audio") streams.push_back(&s);
  const auto bytesOf = [&](const std::vector<ProbePacket>& packets) {
    std::string bytes;
    for (const auto& p : packets) bytes += PacketBytes(Fixture(), p);
    return bytes;
  };
  std::vector<MediaTool::AudioStream<const char*>> infos;
  std::vector<int> perTrack(8, -1);
  const int total = OpenReader(OXLDataReader::Audio_Data)->GetAudioInfos(infos);
  ASSERT_EQ(infos.size(), streams.size());
  for (size_t n = 0; n < streams.size(); ++n) {
    const auto& audio = *streams[n];
    SCOPED_TRACE("sound track " + std::to_string(n));
    const bool aac = audio.codecTag == "mp4a";
    const int channels = GetParam().container == "mp4" ? 2 : audio.channels;
    EXPECT_EQ(infos[n].SampleRate, unsigned(audio.sampleRate));
    EXPECT_EQ(infos[n].Channels, unsigned(channels));
    EXPECT_EQ(infos[n].Codec, aac ? 3u : 0u);
    const auto& all = Fixture().probe.packets.at(size_t(audio.index));
    std::vector<ProbePacket> played;
    std::copy_if(all.begin(), all.end(), std::back_inserter(played), [](auto& p) { return p.pts.value_or(0) >= 0; });
    auto reader = OpenReader(OXLDataReader::Audio_Data);
    EXPECT_EQ(reader->GetDataStreams(perTrack.data(), int(perTrack.size())), int(streams.size()));
    EXPECT_EQ(perTrack[n], channels);
    EXPECT_EQ(reader->GetDataStreams(nullptr, 0), perTrack[0]);
    EXPECT_EQ(total, std::accumulate(perTrack.begin(), perTrack.begin() + streams.size(), 0));
    EXPECT_EQ(reader->SelectDataStream(int(n)), 0);
    const auto forward = ReadForward(*reader, all.size() * 4 + 16);
    EXPECT_EQ(Md5Hash(Joined(forward)), Md5Hash(bytesOf(played)));
    if (aac) {
      ASSERT_EQ(forward.size(), played.size());
    }
    const double bytesPerSecond = double(audio.sampleRate) * audio.channels * audio.bitsPerSample / 8;
    uint64_t before = 0;
    for (size_t i = 0; i < forward.size(); ++i) {
      const double want = aac ? Seconds(played[i].pts.value_or(0), audio) - 2112.0 / audio.sampleRate
                              : before / bytesPerSecond;
      EXPECT_NEAR(forward[i].time, want, 1e-6) << "delivery " << i;
      before += forward[i].bytes.size();
    }
    ASSERT_EQ(reader->GoToDataEnd(), 0);
    auto backward = ReadBackward(*reader, all.size() * 4 + 16);
    std::reverse(backward.begin(), backward.end());
    if (aac) {
      ASSERT_FALSE(backward.empty());
      EXPECT_EQ(backward.front().bytes, bytesOf({all.front()}));
      backward.erase(backward.begin());
    }
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i) {
      EXPECT_EQ(backward[i].bytes, forward[i].bytes) << "delivery " << i;
      EXPECT_NEAR(backward[i].time, forward[i].time, 1e-9) << "delivery " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFileAudio, testing::ValuesIn(CasesWhere([](auto& c) { return !c.audioTag.empty(); })), CaseName);

namespace {

class QtFilePositioning : public QtFileTest {
 protected:
  void SetUp() override {
    QtFileTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_Sync = ExpectedVideoDeliveries(Fixture(), GetParam().longGop, true);
    m_Partial = PartialSyncPackets(Fixture());
    m_FrameSeconds = 1.0 / RateSystemOf(Video()).fps;
    int64_t total = 0;
    for (const auto& p : VideoPackets()) total += p.duration.value_or(0);
    m_ContentSeconds = Seconds(total, Video());
    m_Frames = static_cast<unsigned int>(std::lround(m_ContentSeconds / m_FrameSeconds));
  }

  struct Landing {
    size_t sync = 0;       // index into m_Sync
    bool partial = false;  // on a partial sync sample
  };

  // Where a time lookup lands: the sample whose decode time (counted from
  // the first sample) is nearest the time shifted by the earliest
  // presentation among the first ten samples (half-way goes up); from there
  // back to a full sync sample, or to a partial one presented no later.
  Landing ExpectedLanding(double t) const {
    const auto& packets = VideoPackets();
    double earliest = Seconds(packets.front().pts.value_or(0), Video());
    for (size_t i = 1; i < std::min<size_t>(10, packets.size()); ++i)
      earliest = std::min(earliest, Seconds(packets[i].pts.value_or(0), Video()));
    t = std::max(t, 0.0);
    const int64_t dts0 = packets.front().dts.value_or(0);
    size_t n = 0;
    while (n + 1 < packets.size()) {
      const double start = Seconds(packets[n].dts.value_or(0) - dts0, Video());
      const double next = Seconds(packets[n + 1].dts.value_or(0) - dts0, Video());
      if (t - earliest < (start + next) / 2) break;
      ++n;
    }
    for (; n > 0; --n)
      if (packets[n].IsKey() && (!m_Partial[n] || Seconds(packets[n].pts.value_or(0), Video()) <= t)) break;
    return Landing{DeliveryAtOrBefore(m_Sync, n), m_Partial[n]};
  }

  // A full sync sample reports its decode time, a partial one its presentation time.
  double LandingTime(const Landing& l) const { return l.partial ? m_Sync[l.sync].pts : m_Sync[l.sync].dts; }

  void ExpectNext(CQTDataReader& reader, const ExpectedDelivery& want) const {
    const auto next = ReadForward(reader, 0);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next.front().bytes, want.bytes);
    EXPECT_NEAR(next.front().time, want.pts, 1e-6);
  }

  std::vector<ExpectedDelivery> m_Sync;  // what positioning lands on
  std::vector<bool> m_Partial;          // per video packet
  double m_FrameSeconds = 0, m_ContentSeconds = 0;
  unsigned int m_Frames = 0;
};

}  // namespace

// Each frame's start (of up to 100 frames) and points 0.3 and 0.7 of a frame
// after it, and times before the start: without partial sync samples the
// landing is the sync sample before the frame playing at that time. Field f
// is the time f x field duration (frame starts fall on fields 0, 2, 4 ... at
// 25 and 29.97 frames/s, on every field at 50 and 59.94); the reached field
// is the landing's time in fields, truncated after a nudge of 0.01 away from
// zero. Times and fields past the end position after the last frame.
TEST_P(QtFilePositioning, TimesAndFieldsLandOnTheSyncSampleBeforeTheFramePlayingThen) {
  std::vector<double> times = {-1.0, -0.01};
  for (size_t i : SpreadIndexes(VideoPackets().size(), 100))
    for (double part : {0.0, 0.3, 0.7}) {
      const double t = Seconds(VideoPackets()[i].pts.value_or(0), Video()) + part * m_FrameSeconds;
      if (t >= 0 && t + 1e-3 < m_ContentSeconds) times.push_back(t);
    }
  auto reader = OpenReader(OXLDataReader::Video_Data);
  for (double t : times) {
    SCOPED_TRACE("time " + std::to_string(t));
    const Landing landing = ExpectedLanding(t);
    double seconds = t;
    ASSERT_EQ(reader->GoToTimeOffset(seconds), 0);
    EXPECT_NEAR(seconds, LandingTime(landing), 1e-6);
    ExpectNext(*reader, m_Sync[landing.sync]);
  }
  const unsigned int fieldsPerFrame = RateSystemOf(Video()).fieldsPerFrame;
  const double fieldSeconds = reader->GetFieldDuration();
  ASSERT_NEAR(fieldSeconds, m_FrameSeconds / fieldsPerFrame, 1e-6);
  for (size_t frame : SpreadIndexes(m_Frames, 100)) {
    const unsigned int field = static_cast<unsigned int>(frame) * fieldsPerFrame;
    SCOPED_TRACE("field " + std::to_string(field));
    const Landing landing = ExpectedLanding(field * m_FrameSeconds / fieldsPerFrame);
    const double fields = LandingTime(landing) / fieldSeconds;
    unsigned int reached = 0;
    ASSERT_EQ(reader->GoToFieldOffset(field, &reached), 0);
    EXPECT_EQ(reached, static_cast<unsigned int>(static_cast<int64_t>(fields + (fields < 0 ? -0.01 : 0.01))));
    ExpectNext(*reader, m_Sync[landing.sync]);
  }
  double seconds = m_ContentSeconds + 1.0;
  ASSERT_EQ(reader->GoToTimeOffset(seconds), 0);
  EXPECT_NEAR(seconds, m_ContentSeconds, 1e-6);
  EXPECT_TRUE(ReadForward(*reader, 0).empty());
  const auto last = ReadBackward(*reader, 0);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last.front().bytes, m_Sync.back().bytes);
  unsigned int reached = 0;
  ASSERT_EQ(reader->GoToFieldOffset((m_Frames + 3) * fieldsPerFrame, &reached), 0);
  EXPECT_EQ(reached, m_Frames * fieldsPerFrame);
  EXPECT_TRUE(ReadForward(*reader, 0).empty());
}

// In and out points count fields (frames at 50 and 59.94) from the timecode
// FFmpeg wrote; interlaced material ends on a whole frame. The framework
// time limits give the same span in frames.
TEST_P(QtFilePositioning, InAndOutPointsSpanTheTimecodedMaterial) {
  const RateSystem& rate = RateSystemOf(Video());
  const unsigned int fieldsPerFrame = rate.fieldsPerFrame;
  const std::string& timecode = Video().timecode;
  const uint32_t in = timecode.empty() ? 0 : TimecodeFrames(timecode, unsigned(std::lround(rate.fps))) * fieldsPerFrame;
  uint32_t out = in + static_cast<uint32_t>(m_ContentSeconds * rate.fps * fieldsPerFrame + 0.5);
  if (!IsProgressiveMovie(Fixture())) out &= ~1u;
  auto reader = OpenReader(OXLDataReader::Video_Data);
  EXPECT_EQ(reader->GetStartTimecode(), in);
  unsigned int gotIn = 1, gotOut = 1, gotSystem = 1;
  ASSERT_EQ(reader->GetInOut(&gotIn, &gotOut, &gotSystem), 0);
  EXPECT_EQ(gotIn, in);
  EXPECT_EQ(gotOut, out);
  EXPECT_EQ(gotSystem, unsigned(rate.system));
  const qel::TimeLimits limits = reader->GetTimeLimits();
  EXPECT_EQ(limits.start.GetEditRate(), rate.editRate);
  EXPECT_EQ(limits.start.GetTimeNumber(), int64_t(in / fieldsPerFrame));
  EXPECT_EQ(limits.duration, int64_t(out / fieldsPerFrame) - int64_t(in / fieldsPerFrame));
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFilePositioning, testing::ValuesIn(CasesWhere([](auto& c) { return !c.fragmented; })), CaseName);
