// Fragment records on layouts FFmpeg never writes (a skipped "tfhd" field,
// all four per-sample "trun" fields, a negative data offset), cut records,
// and the fallback of sample values from run to header to track.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "OXLDataReader/OXL_QuickTime/TrackFragments.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"

using namespace oxltest;

namespace {

const char* Chars(const ExactBuffer& b) { return reinterpret_cast<const char*>(b.data()); }

TrackFragmentHeader Tfhd(uint32_t flags, const std::string& fields) {
  const ExactBuffer b(FullAtom("tfhd", 0, flags, ByteBuilder().u32(7).bytes(fields).str()));
  return TrackFragmentHeader::ParseTfhd(Chars(b), b.size());
}

TrackFragmentRun Trun(uint32_t flags, uint32_t count, const std::string& rest, unsigned int defaultDuration = 0) {
  const ExactBuffer b(FullAtom("trun", 0, flags, ByteBuilder().u32(count).bytes(rest).str()));
  return TrackFragmentRun::ParseTrun(Chars(b), b.size(), defaultDuration);
}

// Data offset, first sample flags, then per sample duration, size, flags and composition offset.
std::string RunOfFour() {
  ByteBuilder b;
  b.u32(0xFFFFFF00).u32(0x02000000);
  for (uint32_t i = 0; i < 4; ++i) b.u32(100 + i).u32(1000 * (i + 1)).u32(i << 24).u32(i == 3 ? 0xFFFFFFF6 : 10 * i);
  return b.str();
}

std::string TrexAtom(uint32_t duration, uint32_t size, uint32_t flags) {
  return FullAtom("trex", 0, 0, ByteBuilder().u32(2).u32(1).u32(duration).u32(size).u32(flags).str());
}

// Each record cut at every byte fails with a host error naming the record,
// and whole it parses; a count that no atom could hold is refused before
// anything is allocated.
TEST(FragmentRecords, CutOrLyingRecordsAreRefused) {
  using Parse = std::function<void(const ExactBuffer&)>;
  const std::string tfhd = FullAtom("tfhd", 0, 0x00003B, ByteBuilder().u32(1).u64(9).u32(1).u32(2).u32(3).u32(4).str());
  const std::tuple<std::string, Parse, std::string> records[] = {
      {TrexAtom(1, 2, 3), [](auto& b) { MediaTrackExtends::ParseTrex(Chars(b), b.size()); },
       "[buffer to small to read trex atom]"},
      {tfhd, [](auto& b) { TrackFragmentHeader::ParseTfhd(Chars(b), b.size()); }, "[tfhd atom too small]"},
      {FullAtom("tfdt", 1, 0, ByteBuilder().u64(5).str()),
       [](auto& b) { TrackFragmentBaseMediaDecodeTime::ParseTfdt(Chars(b), b.size()); }, "[tfdt atom too small]"},
      {FullAtom("trun", 0, 0x000F05, ByteBuilder().u32(4).bytes(RunOfFour()).str()),
       [](auto& b) { TrackFragmentRun::ParseTrun(Chars(b), b.size(), 0); }, "[trun atom too small]"}};
  for (const auto& [atom, parseRecord, failure] : records) {
    const Parse& parse = parseRecord;  // a lambda may not capture a structured binding (C++17)
    EXPECT_NO_THROW(parse(ExactBuffer(atom))) << atom.substr(4, 4);
    for (const std::string& cut : Truncations(atom))
      EXPECT_EQ(ErrorText([&] { parse(ExactBuffer(cut)); }).rfind(failure, 0), 0u) << atom.substr(4, 4) << cut.size();
  }
  const ExactBuffer huge(FullAtom("trun", 0, 0x000300, ByteBuilder().u32(0xFFFFFFFF).u64(0).str()));
  EXPECT_EQ(ErrorText([&] { TrackFragmentRun::ParseTrun(Chars(huge), huge.size(), 0); }),
            "[trun atom too small] [ value1 (24) is not >= value2 (34359738376) ]");
}

TEST(FragmentRecords, OptionalHeaderFieldsDecodeTimeWidthsAndFlagWords) {
  const TrackFragmentHeader h = Tfhd(0x00002A, ByteBuilder().u32(3).u32(1000).u32(0x00010000).str());  // index skipped
  EXPECT_FALSE(h.IsBaseDataOffsetPresent() || h.GetDefaultSampleSize().IsSet());
  EXPECT_EQ(std::make_pair(h.GetDefaultSampleDuration().GetValue(), h.GetDefaultSampleFlags().GetValue()),
            std::make_pair(1000u, 0x00010000u));
  // The low bit of the version decides the width of the decode time.
  for (auto [version, value, time] : {std::tuple(0, std::string(ByteBuilder().u32(0xFFFFFFFF)), 0xFFFFFFFFull),
                                      std::tuple(3, std::string(ByteBuilder().u64(0x100000005ull)), 0x100000005ull)}) {
    const ExactBuffer tfdt(FullAtom("tfdt", uint8_t(version), 0, value));
    EXPECT_EQ(TrackFragmentBaseMediaDecodeTime::ParseTfdt(Chars(tfdt), tfdt.size()), time) << version;
  }

  const auto fields = [](uint32_t word) {
    const auto f = TrackFragmentRun::SampleFlags::FromWord(word);
    return std::vector<unsigned>({f.reserved, f.is_leading, f.sample_depends_on, f.sample_is_depended_on,
                                  f.sample_has_redundancy, f.sample_padding_value, f.sample_is_non_sync_sample,
                                  f.sample_degradation_priority});
  };
  EXPECT_EQ(fields(0x05A50001), std::vector<unsigned>({0, 1, 1, 2, 2, 2, 1, 1}));  // 0000 01 01 10 10 010 1 0x0001
}

TEST(FragmentRecords, RunFieldsAtTheirPlaceAndDataOffsetsInAnyOrder) {
  const TrackFragmentRun run = Trun(0x000F05, 4, RunOfFour());
  EXPECT_EQ(std::make_pair(run.GetSampleCount(), run.GetDataOffset()), std::make_pair(4u, -256));
  EXPECT_EQ(std::vector<uint32_t>({run.GetSampleDuration(2), run.GetSampleSize(3), run.GetSampleFlags(2).sample_depends_on,
                                   run.GetSampleCompositionTimeOffset(3), run.GetSampleSize(4)}),
            std::vector<uint32_t>({102, 4000, 2, 0xFFFFFFF6, 0}));  // the last past the run
  EXPECT_EQ(run.GetDuration(), 100u + 101 + 102 + 103);
  for (uint32_t i : {0u, 3u, 1u, 2u, 3u, 0u}) {
    int64_t expected = -256;
    for (uint32_t k = 0; k < i; ++k) expected += 1000 * (k + 1);
    EXPECT_EQ(run.GetSampleDataOffset(i, 77), expected) << i;
  }
  const TrackFragmentRun unsized = Trun(0x000001, 8, ByteBuilder().u32(40).str(), 512);  // default sizes and durations
  EXPECT_EQ(std::make_pair(unsized.GetSampleDataOffset(5, 1000), unsized.GetDuration()),
            std::make_pair(int64_t(40 + 5000), uint64_t(8 * 512)));
}

TEST(FragmentRecords, SampleValuesFallBackFromRunToHeaderToTrack) {
  const ExactBuffer trexAtom(TrexAtom(1000, 300, 0x01010000));
  const MediaTrackExtends trex = MediaTrackExtends::ParseTrex(Chars(trexAtom), trexAtom.size());
  EXPECT_TRUE(trex.GetTrackId() == 2 && trex.IsValid() && !MediaTrackExtends().IsValid());
  const TrackFragmentHeader none = Tfhd(0, "");
  const TrackFragmentHeader header = Tfhd(0x000038, ByteBuilder().u32(512).u32(200).u32(0x02000000).str());
  const TrackFragmentRun sized = Trun(0x000200, 3, ByteBuilder().u32(10).u32(0).u32(30).str());
  // A size of 0 counts as absent; the fourth is past the run.
  EXPECT_EQ(std::vector<unsigned>({GetOneSampleSize(trex, none, sized, 0), GetOneSampleSize(trex, none, sized, 1),
                                   GetOneSampleSize(trex, header, sized, 1), GetOneSampleSize(trex, header, sized, 3)}),
            std::vector<unsigned>({10, 300, 200, 200}));
  EXPECT_EQ(GetWholeSamplesSize(trex, header, sized), 10u + 200 + 30);
  EXPECT_EQ(GetWholeSamplesSize(trex, none, Trun(0, 5, "")), 5u * 300);
  EXPECT_EQ(GetWholeSamplesSize(trex, header, Trun(0, 0, "")), 0u);
  EXPECT_EQ(GetWholeSamplesSize(MediaTrackExtends(1, 0, 0x80000000, 0), none, Trun(0, 3, "")), 0x80000000u);  // 32 bits

  const TrackFragmentRun firstFlagsOnly = Trun(0x000004, 2, ByteBuilder().u32(0x00000000).str());
  const TrackFragmentRun flagged = Trun(0x000400, 1, ByteBuilder().u32(0x03000000).str());
  EXPECT_EQ(std::vector<unsigned>({GetOneSampleFlags(trex, none, firstFlagsOnly, 0).sample_is_non_sync_sample,
                                   GetOneSampleFlags(trex, none, firstFlagsOnly, 1).sample_is_non_sync_sample,
                                   GetOneSampleFlags(trex, header, firstFlagsOnly, 1).sample_depends_on,
                                   GetOneSampleFlags(trex, none, flagged, 1).sample_depends_on}),  // past the run
            std::vector<unsigned>({0, 1, 2, 1}));
  const TrackFragmentRun timed = Trun(0x000100, 2, ByteBuilder().u32(7).u32(9).str());
  EXPECT_EQ(std::vector<unsigned>({GetOneSampleDuration(trex, none, firstFlagsOnly, 1),
                                   GetOneSampleDuration(trex, header, firstFlagsOnly, 1),
                                   GetOneSampleDuration(trex, header, timed, 1), GetOneSampleDuration(trex, header, timed, 2)}),
            std::vector<unsigned>({1000, 512, 9, 512}));  // the last past the run
}

}  // namespace
