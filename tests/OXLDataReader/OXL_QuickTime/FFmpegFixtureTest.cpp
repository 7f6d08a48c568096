// Movie-header sub-indexes of files made by FFmpeg, compared sample by
// sample with what ffprobe reports for the same files.
#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/MoovAudioPcmTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/StsdAtom.h"
#include "OXLDataReader/OXL_QuickTime/TrackIndex.h"
#include "qelCore/QELRuntimeError.h"
#include "support/FFmpegTools.h"
#include "support/QtMovieAtoms.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

struct SampleRecord {
  uint64_t offset = 0;
  unsigned int size = 0;
  int64_t pts = 0;
  int64_t dts = 0;
  int64_t duration = 0;
  bool sync = false;
  bool operator==(const SampleRecord& o) const {
    return offset == o.offset && size == o.size && pts == o.pts && dts == o.dts && duration == o.duration &&
           sync == o.sync;
  }
};

SampleRecord Record(IQtSampleIndex& cursor) {
  auto sample = cursor.GetSample();
  SampleRecord r;
  r.offset = sample->GetSampleOffset();
  r.size = sample->GetSampleSize();
  r.pts = sample->GetTimeStamp().start.GetTimeNumber();
  r.dts = sample->GetReferenceTimeStamp().start.GetTimeNumber();
  r.duration = sample->GetTimeStamp().duration;
  r.sync = sample->IsSyncOrPartialSync();
  return r;
}

// Every sample from the first to the last through a track index cursor, then
// back again; the backward walk must give the same samples.
std::vector<SampleRecord> WalkBothWays(CTrackIndex& index) {
  std::vector<SampleRecord> forward, backward;
  auto cursor = index.FindSampleIndex(0.0);
  EXPECT_TRUE(cursor && cursor->IsFirstIndex());
  if (!cursor) return forward;
  for (; !cursor->IsAfterLastIndex(); cursor->Next()) forward.push_back(Record(*cursor));
  for (cursor->Prev(); !cursor->IsBeforeFirstIndex(); cursor->Prev()) backward.push_back(Record(*cursor));
  EXPECT_TRUE(cursor->IsOutOfBounds());
  EXPECT_EQ(std::vector<SampleRecord>(backward.rbegin(), backward.rend()), forward);
  return forward;
}

// The presentation shift that ffprobe applies and the track reader will:
// the edit list's media start less what the sub-index already took away.
int64_t EditShift(const QtTrackAtoms& track, const ITrackSubIndex& subIndex) {
  const int64_t editStart = track.edits.empty() || track.edits.front().mediaTime < 0 ? 0 : track.edits.front().mediaTime;
  return editStart - subIndex.GetTrackMediaTimeOffset().GetTimeNumber();
}

std::shared_ptr<ITrackSubIndex> MovieHeaderIndex(const QtMovieAtoms& movie, const QtTrackAtoms& track, bool pcm) {
  auto create = pcm ? CreateAudioPcmMovieHeaderTrackIndex : CreateMovieHeaderTrackIndex;
  return create(reinterpret_cast<const unsigned char*>(track.stbl.data()), track.stbl.size(),
                qel::MediaTime(qel::EditRate(movie.movieTimescale, 1), int64_t(track.trackDuration)),
                qel::EditRate(track.mediaTimescale, 1), track.mediaDuration);
}

// Fixtures are made once per test program and probed once each: FFmpeg's
// start-up, not our parsing, is what costs time here.
class MovieHeaderAgainstFFprobe : public ::testing::Test {
 protected:
  struct Fixture {
    std::string path;
    ProbeResult probe;
  };

  // Fixtures live until the program ends, shared by every suite.
  struct Store {
    TempDir dir;
    std::map<std::string, Fixture> fixtures;
  };
  static Store& TheStore() {
    static Store store;
    return store;
  }
  void SetUp() override {
    if (!HasFFmpegTools()) GTEST_SKIP() << "ffmpeg/ffprobe not available";
  }
  // The file `name` made by ffmpeg with `arguments`, and its ffprobe view;
  // null (test skipped) when this ffmpeg lacks `encoder`.
  const Fixture* Get(const std::string& name, const std::string& encoder, const std::string& arguments) {
    if (!HasEncoder(encoder)) return nullptr;
    auto& fixtures = TheStore().fixtures;
    auto it = fixtures.find(name);
    if (it == fixtures.end()) {
      Fixture fixture;
      fixture.path = TheStore().dir.file(name);
      MakeMediaFixture(arguments, fixture.path);
      fixture.probe = ProbeFile(fixture.path, true);
      it = fixtures.emplace(name, std::move(fixture)).first;
    }
    return &it->second;
  }
  const Fixture* Prores() {
    return Get("prores.mov", "prores_ks", "-f lavfi -i testsrc=size=128x96:rate=25 -t 1 -c:v prores_ks -profile:v 1");
  }
  const Fixture* DvWithPcm() {
    return Get("dv.mov", "dvvideo",
               "-f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine=frequency=1000:sample_rate=48000 "
               "-t 0.4 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le");
  }
  const Fixture* H264WithAac() {
    return Get("h264.mp4", "libx264",
               "-f lavfi -i testsrc=size=128x96:rate=25 -f lavfi -i sine=frequency=1000:sample_rate=48000 "
               "-t 1 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac");
  }

  // A 24-bit little-endian stereo track (version-1 description with "wave")
  // and a 16-bit big-endian mono one, interleaved with video.
  const Fixture* PcmTwoTracks() {
    return Get("pcm_two.mov", "pcm_s24le",
               "-f lavfi -i testsrc=size=64x48:rate=50 -f lavfi -i sine=sample_rate=48000 "
               "-f lavfi -i sine=sample_rate=44100 -t 1 -map 0 -map 1 -map 2 -c:v mjpeg "
               "-c:a:0 pcm_s24le -ac:a:0 2 -c:a:1 pcm_s16be");
  }

  // The track's samples walked through a movie-header sub-index equal
  // ffprobe's packets: offset, size, times, duration and key flag.
  void ExpectSamplesMatchPackets(const Fixture& f, const std::string& handler, const std::string& stream) {
    const QtMovieAtoms movie = ReadMovieAtoms(f.path);
    const QtTrackAtoms& track = movie.Track(handler);
    const ProbeStream& info = f.probe.Stream(stream);
    ASSERT_EQ(info.timeBaseNum, 1);
    ASSERT_EQ(info.timeBaseDen, track.mediaTimescale);
    CTrackIndex index;
    auto subIndex = MovieHeaderIndex(movie, track, false);
    index.AppendTrackSubIndex(subIndex);
    const std::vector<SampleRecord> samples = WalkBothWays(index);
    const std::vector<ProbePacket>& packets = f.probe.Packets(stream);
    ASSERT_EQ(samples.size(), packets.size());
    const int64_t shift = EditShift(track, *subIndex);
    for (size_t i = 0; i < samples.size(); ++i) {
      SCOPED_TRACE("sample " + std::to_string(i));
      EXPECT_EQ(samples[i].offset, packets[i].pos.value_or(0));
      EXPECT_EQ(samples[i].size, packets[i].size);
      EXPECT_EQ(samples[i].pts - shift, packets[i].pts.value_or(-1));
      EXPECT_EQ(samples[i].dts - shift, packets[i].dts.value_or(-1));
      EXPECT_EQ(samples[i].duration, packets[i].duration.value_or(-1));
      EXPECT_EQ(samples[i].sync, packets[i].IsKey());
    }
    ExpectOffsetLookupsMatch(*subIndex, packets);
  }

  // For every packet k: a file holding exactly its last byte has k as last
  // complete sample; one byte less, k - 1 (none for the first).
  void ExpectOffsetLookupsMatch(ITrackSubIndex& subIndex, const std::vector<ProbePacket>& packets) {
    for (size_t k = 0; k < packets.size(); ++k) {
      const unsigned long end = packets[k].pos.value_or(0) + packets[k].size;
      auto complete = std::dynamic_pointer_cast<MoovSampleIndex>(subIndex.FindSampleIndex(end));
      ASSERT_TRUE(complete);
      EXPECT_EQ(complete->GetPosition(), int64_t(k));
      if (k == 0) {
        EXPECT_THROW(subIndex.FindSampleIndex(end - 1), qel::QELRuntimeError);
        continue;
      }
      auto before = std::dynamic_pointer_cast<MoovSampleIndex>(subIndex.FindSampleIndex(end - 1));
      ASSERT_TRUE(before);
      EXPECT_EQ(before->GetPosition(), int64_t(k) - 1);
    }
  }

  // Each chunk of a PCM sub-index is exactly tiled by consecutive ffprobe
  // packets (FFmpeg splits chunks into packets), starting at the chunk's
  // time; together they cover every packet once.
  void ExpectPcmChunksTilePackets(const Fixture& f, const std::string& stream, size_t soundTrack,
                                  unsigned int bytesPerFrame) {
    const QtMovieAtoms movie = ReadMovieAtoms(f.path);
    std::vector<const QtTrackAtoms*> sound;
    for (const auto& t : movie.tracks)
      if (t.handler == "soun") sound.push_back(&t);
    ASSERT_LT(soundTrack, sound.size());
    const QtTrackAtoms& track = *sound[soundTrack];
    ASSERT_EQ(f.probe.Stream(stream).timeBaseDen, track.mediaTimescale);
    CTrackIndex index;
    auto subIndex = MovieHeaderIndex(movie, track, true);
    EXPECT_EQ(std::dynamic_pointer_cast<MoovAudioPcmTrackSubIndex>(subIndex)->GetBytesPerFrame(), bytesPerFrame);
    index.AppendTrackSubIndex(subIndex);
    const std::vector<SampleRecord> chunks = WalkBothWays(index);
    const std::vector<ProbePacket>& packets = f.probe.Packets(stream);
    size_t next = 0;
    uint64_t chunkBytes = 0, packetBytes = 0;
    for (const SampleRecord& chunk : chunks) {
      SCOPED_TRACE("chunk at " + std::to_string(chunk.offset));
      ASSERT_LT(next, packets.size());
      EXPECT_EQ(packets[next].pos.value_or(0), chunk.offset);
      EXPECT_EQ(packets[next].pts.value_or(-1), chunk.pts);
      EXPECT_EQ(chunk.pts, chunk.dts);
      uint64_t covered = 0;
      int64_t frames = 0;
      while (next < packets.size() && packets[next].pos.value_or(0) == chunk.offset + covered && covered < chunk.size) {
        covered += packets[next].size;
        frames += packets[next].duration.value_or(0);
        ++next;
      }
      EXPECT_EQ(covered, chunk.size);
      EXPECT_EQ(frames, chunk.duration);
      EXPECT_TRUE(chunk.sync);
      chunkBytes += chunk.size;
    }
    for (const auto& p : packets) packetBytes += p.size;
    EXPECT_EQ(next, packets.size());
    EXPECT_EQ(chunkBytes, packetBytes);
  }

};

#define REQUIRE_FIXTURE(f) \
  if (!(f)) GTEST_SKIP() << "this ffmpeg lacks the encoder for this fixture"

TEST_F(MovieHeaderAgainstFFprobe, ProResInMov) {
  const Fixture* f = Prores();
  REQUIRE_FIXTURE(f);
  ExpectSamplesMatchPackets(*f, "vide", "v:0");
}

TEST_F(MovieHeaderAgainstFFprobe, DvWithInterleavedPcmInMov) {
  const Fixture* f = DvWithPcm();
  REQUIRE_FIXTURE(f);
  ExpectSamplesMatchPackets(*f, "vide", "v:0");
  ExpectPcmChunksTilePackets(*f, "a:0", 0, 2);
}

TEST_F(MovieHeaderAgainstFFprobe, DvSampleBytesHaveFFprobeHashes) {
  const Fixture* f = DvWithPcm();
  REQUIRE_FIXTURE(f);
  const QtMovieAtoms movie = ReadMovieAtoms(f->path);
  auto subIndex = MovieHeaderIndex(movie, movie.Track("vide"), false);
  auto cursor = subIndex->GetLastSampleIndex();
  const auto& packets = f->probe.Packets("v:0");
  for (size_t k : {packets.size() - 1, size_t(0)}) {
    while (cursor->GetSample()->GetSampleOffset() != packets[k].pos && !cursor->IsBeforeFirstIndex()) cursor->Prev();
    auto sample = cursor->GetSample();
    EXPECT_EQ(Md5Hash(ReadFileBytes(f->path, sample->GetSampleOffset(), sample->GetSampleSize())), packets[k].dataHash);
  }
  EXPECT_TRUE(cursor->IsFirstIndex());
}

TEST_F(MovieHeaderAgainstFFprobe, H264WithBFramesAndAacInMp4) {
  const Fixture* f = H264WithAac();
  REQUIRE_FIXTURE(f);
  ExpectSamplesMatchPackets(*f, "vide", "v:0");
  ExpectSamplesMatchPackets(*f, "soun", "a:0");
}

TEST_F(MovieHeaderAgainstFFprobe, H264EarliestPresentationIsZeroAndFirstDecodeIsBefore) {
  const Fixture* f = H264WithAac();
  REQUIRE_FIXTURE(f);
  const QtMovieAtoms movie = ReadMovieAtoms(f->path);
  auto subIndex = MovieHeaderIndex(movie, movie.Track("vide"), false);
  const auto& packets = f->probe.Packets("v:0");
  ASSERT_GE(packets.size(), 10u);
  auto cursor = subIndex->GetFirstSampleIndex();
  int64_t earliest = INT64_MAX;
  for (int i = 0; i < 10; ++i, cursor->Next())
    earliest = std::min(earliest, cursor->GetSample()->GetTimeStamp().start.GetTimeNumber());
  EXPECT_EQ(earliest, 0);
  // B-frames reorder: the first sample is decoded before presentation starts.
  const int64_t firstDecode = subIndex->GetFirstSampleIndex()->GetSample()->GetReferenceTimeStamp().start.GetTimeNumber();
  EXPECT_LT(firstDecode, 0);
  EXPECT_EQ(firstDecode, packets[0].dts.value_or(0));
}

TEST_F(MovieHeaderAgainstFFprobe, PcmAloneInLargeChunksAfterFaststartMoov) {
  const Fixture* f = Get("pcm_alone.mov", "pcm_s16be",
                         "-f lavfi -i sine=sample_rate=48000 -t 1 -ac 2 -c:a pcm_s16be -movflags +faststart");
  REQUIRE_FIXTURE(f);
  ExpectPcmChunksTilePackets(*f, "a:0", 0, 4);
}

TEST_F(MovieHeaderAgainstFFprobe, PcmTwoTracksInterleavedWithVideo) {
  if (!HasEncoder("pcm_s16be")) GTEST_SKIP() << "no pcm_s16be encoder";
  const Fixture* f = PcmTwoTracks();
  REQUIRE_FIXTURE(f);
  ExpectPcmChunksTilePackets(*f, "a:0", 0, 6);
  ExpectPcmChunksTilePackets(*f, "a:1", 1, 2);
}

// The sample description of each fixture track agrees with what ffprobe
// reports for the stream: coding, picture size, sound layout.
class SampleDescriptionAgainstFFprobe : public MovieHeaderAgainstFFprobe {
 protected:
  std::unique_ptr<QTReader::CSampleDescription> Describe(const Fixture& f, const std::string& handler, size_t nth = 0) {
    const QtMovieAtoms movie = ReadMovieAtoms(f.path);
    size_t seen = 0;
    for (const auto& track : movie.tracks) {
      if (track.handler != handler || seen++ != nth) continue;
      const unsigned char* stsd = nullptr;
      uint32_t size = 0;
      EXPECT_TRUE(QTReader::FindChildAtom(reinterpret_cast<const unsigned char*>(track.stbl.data()), track.stbl.size(),
                                          QTReader::AtomType("stsd"), stsd, size));
      QTReader::CStsdAtom atom;
      QTReader::initStsdAtom(stsd, size, atom, handler);
      EXPECT_EQ(atom.m_Entries.size(), 1u);
      return atom.m_Entries.empty() ? nullptr : std::move(atom.m_Entries.front());
    }
    return nullptr;
  }
  void ExpectVideo(const Fixture& f, const QTReader::CVideoSampleDescription& d) {
    const ProbeStream& s = f.probe.Stream("v:0");
    EXPECT_EQ(QTReader::AtomTypeToString(d.m_DataFormat), s.codecTag);
    EXPECT_EQ(d.m_wWidth, s.width);
    EXPECT_EQ(d.m_wHeight, s.height);
  }
  void ExpectPcm(const Fixture& f, const std::string& stream, const QTReader::CAudioSampleDescription& d) {
    const ProbeStream& s = f.probe.Stream(stream);
    EXPECT_EQ(QTReader::AtomTypeToString(d.m_DataFormat), s.codecTag);
    EXPECT_EQ(d.GetAudioCodec(), qel::audio_codec_pcm);
    EXPECT_EQ(d.GetNumberOfChannels(), uint32_t(s.channels));
    EXPECT_EQ(d.GetSampleRate(), uint32_t(s.sampleRate));
    // pcm_s16le, pcm_s24le, pcm_s16be: bits and byte order are in the codec name.
    EXPECT_EQ(d.GetBitsDepth(), uint32_t(std::stoi(s.codecName.substr(5, 2))));
    EXPECT_EQ(d.GetEndianness(), s.codecName.substr(7) == "le" ? QTReader::kAudioLittleEndian : QTReader::kAudioBigEndian);
    auto parameters = d.GetAudioParameters();
    ASSERT_TRUE(parameters);
    EXPECT_EQ(parameters->GetBytesPerSample() * 8u, d.GetBitsDepth());
    EXPECT_EQ(parameters->GetChannelLayout(), s.channels == 1 ? 1u : s.channels == 2 ? 3u : 2u);
  }
};

TEST_F(SampleDescriptionAgainstFFprobe, ProResAndDvDescriptions) {
  for (const Fixture* f : {Prores(), DvWithPcm()}) {
    if (!f) continue;
    auto d = Describe(*f, "vide");
    auto* video = dynamic_cast<QTReader::CVideoSampleDescription*>(d.get());
    ASSERT_NE(video, nullptr);
    ExpectVideo(*f, *video);
  }
}

TEST_F(SampleDescriptionAgainstFFprobe, AvcDescriptionCarriesParameterSets) {
  const Fixture* f = H264WithAac();
  REQUIRE_FIXTURE(f);
  auto d = Describe(*f, "vide");
  auto* video = dynamic_cast<QTReader::CVideoSampleDescription*>(d.get());
  ASSERT_NE(video, nullptr);
  ExpectVideo(*f, *video);
  auto avcc = std::dynamic_pointer_cast<const QTReader::VideoSampleDescriptionExtensionAvcc>(
      video->GetExtension(QTReader::AtomType("avcC")));
  ASSERT_TRUE(avcc);
  EXPECT_EQ(avcc->GetNalLengthSize(), 4u);  // what libx264 in MP4 writes
  ASSERT_EQ(avcc->GetSequenceParameterSets().size(), 1u);
  ASSERT_EQ(avcc->GetPictureParameterSets().size(), 1u);
  // NAL unit types (ISO/IEC 14496-10): 7 sequence, 8 picture parameter set.
  EXPECT_EQ(avcc->GetSequenceParameterSets().front()->GetData()[0] & 0x1F, 7);
  EXPECT_EQ(avcc->GetPictureParameterSets().front()->GetData()[0] & 0x1F, 8);
}

TEST_F(SampleDescriptionAgainstFFprobe, AacDescription) {
  const Fixture* f = H264WithAac();
  REQUIRE_FIXTURE(f);
  auto d = Describe(*f, "soun");
  auto* audio = dynamic_cast<QTReader::CAudioSampleDescription*>(d.get());
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->GetAudioCodec(), qel::audio_codec_aac);
  // The channel count of an MP4 sound entry is a fixed 2 (ISO/IEC 14496-12);
  // the real layout is in the AAC configuration, which is not read here.
  EXPECT_EQ(audio->GetSampleRate(), uint32_t(f->probe.Stream("a:0").sampleRate));
}

TEST_F(SampleDescriptionAgainstFFprobe, PcmDescriptionsOfEveryVersionFFmpegWrites) {
  const Fixture* dv = DvWithPcm();
  if (dv) {
    auto d = Describe(*dv, "soun");
    ExpectPcm(*dv, "a:0", dynamic_cast<QTReader::CAudioSampleDescription&>(*d));
  }
  if (!HasEncoder("pcm_s16be")) GTEST_SKIP() << "no pcm_s16be encoder";
  const Fixture* two = PcmTwoTracks();
  REQUIRE_FIXTURE(two);
  for (size_t n : {0, 1}) {
    auto d = Describe(*two, "soun", n);
    ExpectPcm(*two, "a:" + std::to_string(n), dynamic_cast<QTReader::CAudioSampleDescription&>(*d));
  }
}

}  // namespace
