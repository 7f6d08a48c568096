// Fragment records: "trex", "tfhd", "tfdt" and "trun" layouts, sample flags,
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

TrackFragmentRun Trun(uint32_t flags, uint32_t count, const std::string& rest, unsigned int defaultDuration = 0,
                      uint8_t version = 0) {
  const ExactBuffer b(FullAtom("trun", version, flags, ByteBuilder().u32(count).bytes(rest).str()));
  return TrackFragmentRun::ParseTrun(Chars(b), b.size(), defaultDuration);
}

TEST(TrackExtends, ReadsTheDefaultsOrRefusesAShortAtom) {
  const std::string trex = FullAtom("trex", 0, 0, ByteBuilder().u32(2).u32(1).u32(1001).u32(4000).u32(0x01010000).str());
  const ExactBuffer b(trex);
  const MediaTrackExtends e = MediaTrackExtends::ParseTrex(Chars(b), b.size());
  EXPECT_TRUE(e.IsValid());
  EXPECT_EQ(e.GetTrackId(), 2u);
  EXPECT_EQ(e.GetDefaultSampleDuration(), 1001u);
  EXPECT_EQ(e.GetDefaultSampleSize(), 4000u);
  EXPECT_EQ(e.GetDefaultSampleFlags(), 0x01010000u);
  EXPECT_FALSE(MediaTrackExtends().IsValid());
  const ExactBuffer c(trex.substr(0, trex.size() - 1));
  EXPECT_EQ(ErrorText([&] { MediaTrackExtends::ParseTrex(Chars(c), c.size()); }),
            "[buffer to small to read trex atom] [ Condition is not true ]");
}

TEST(TrackFragmentHeaderFields, OptionalFieldsFollowTheirFlags) {
  const TrackFragmentHeader h = Tfhd(0x00002A, ByteBuilder().u32(3).u32(1000).u32(0x00010000).str());
  EXPECT_EQ(h.GetTrackId(), 7u);
  EXPECT_FALSE(h.IsBaseDataOffsetPresent());
  EXPECT_EQ(h.GetDefaultSampleDuration().GetText(), "1000");
  EXPECT_EQ(h.GetDefaultSampleFlags().GetValue(), 0x00010000u);
  EXPECT_FALSE(h.GetDefaultSampleSize().IsSet());
  const TrackFragmentHeader b = Tfhd(0x000011, ByteBuilder().u64(0x123456789ull).u32(512).str());
  EXPECT_EQ(b.GetBaseDataOffset(), 0x123456789ull);
  EXPECT_EQ(b.GetDefaultSampleSize().GetValue(), 512u);
  EXPECT_FALSE(b.GetDefaultSampleDuration().IsSet());
}

TEST(TrackFragmentHeaderFields, FieldsPastTheAtomAreRefused) {
  const std::string tfhd = FullAtom("tfhd", 0, 0x00003B, ByteBuilder().u32(1).u64(9).u32(1).u32(2).u32(3).u32(4).str());
  for (const std::string& cut : Truncations(tfhd)) {
    const ExactBuffer c(cut);
    EXPECT_EQ(ErrorText([&] { TrackFragmentHeader::ParseTfhd(Chars(c), c.size()); }).rfind("[tfhd atom too small]", 0), 0u)
        << cut.size();
  }
  std::string lying = tfhd;
  lying[3] = 20;  // declares fewer bytes than its flags need
  const ExactBuffer l(lying);
  EXPECT_EQ(ErrorText([&] { TrackFragmentHeader::ParseTfhd(Chars(l), l.size()); }),
            "[tfhd atom too small] [ value1 (20) is not >= value2 (24) ]");
}

TEST(DecodeTime, VersionDecidesTheWidth) {
  const ExactBuffer v1(FullAtom("tfdt", 1, 0, ByteBuilder().u64(0x100000010ull).str()));
  EXPECT_EQ(TrackFragmentBaseMediaDecodeTime::ParseTfdt(Chars(v1), v1.size()), 0x100000010ull);
  const ExactBuffer v0(FullAtom("tfdt", 0, 0, ByteBuilder().u32(0xFFFFFFFF).str()));
  EXPECT_EQ(TrackFragmentBaseMediaDecodeTime::ParseTfdt(Chars(v0), v0.size()), 0xFFFFFFFFull);
  const ExactBuffer odd(FullAtom("tfdt", 3, 0, ByteBuilder().u64(5).str()));
  EXPECT_EQ(TrackFragmentBaseMediaDecodeTime::ParseTfdt(Chars(odd), odd.size()), 5u);
  const ExactBuffer cut(FullAtom("tfdt", 1, 0, ByteBuilder().u32(1).str()));
  EXPECT_THROW(TrackFragmentBaseMediaDecodeTime::ParseTfdt(Chars(cut), cut.size()), qel::QELRuntimeError);
}

TEST(SampleFlagsWord, SplitIntoItsFields) {
  const auto f = TrackFragmentRun::SampleFlags::FromWord(0x01010000);
  EXPECT_EQ(f.sample_depends_on, 1u);
  EXPECT_EQ(f.sample_is_non_sync_sample, 1u);
  const auto all = TrackFragmentRun::SampleFlags::FromWord(0xFFFFFFFF);
  EXPECT_EQ(all.reserved, 15u);
  EXPECT_EQ(all.is_leading, 3u);
  EXPECT_EQ(all.sample_is_depended_on, 3u);
  EXPECT_EQ(all.sample_has_redundancy, 3u);
  EXPECT_EQ(all.sample_padding_value, 7u);
  EXPECT_EQ(all.sample_degradation_priority, 0xFFFFu);
}

// Data offset, first sample flags, then per sample duration, size and composition offset.
std::string RunOfFour() {
  ByteBuilder b;
  b.u32(0xFFFFFF00).u32(0x02000000);
  for (uint32_t i = 0; i < 4; ++i) b.u32(100 + i).u32(1000 * (i + 1)).u32(i == 3 ? 0xFFFFFFF6 : 10 * i);
  return b.str();
}

TEST(TrackRunRecords, FieldsAtTheirPlaceInEachRecord) {
  const TrackFragmentRun run = Trun(0x000B05, 4, RunOfFour(), 0, 1);
  EXPECT_EQ(run.GetSampleCount(), 4u);
  EXPECT_EQ(run.GetDataOffset(), -256);
  EXPECT_EQ(run.GetSampleSize(3), 4000u);
  EXPECT_EQ(run.GetSampleDuration(2), 102u);
  EXPECT_EQ(static_cast<int32_t>(run.GetSampleCompositionTimeOffset(3)), -10);
  EXPECT_EQ(run.GetSampleFlags(0).sample_depends_on, 2u);
  EXPECT_TRUE(run.IsSetSampleFlags(0));
  EXPECT_FALSE(run.IsSetSampleFlags(1));
  EXPECT_EQ(run.GetSampleFlags(1).sample_depends_on, 0u);
  EXPECT_TRUE(run.IsSetSampleDuration());
  EXPECT_TRUE(run.IsSetSampleCompositionTimeOffset());
  EXPECT_EQ(run.GetDuration(), 100u + 101 + 102 + 103);
  EXPECT_EQ(run.GetSampleSize(4), 0u);  // past the run
}

TEST(TrackRunRecords, DataOffsetsAddThePreviousSizesInAnyOrder) {
  const TrackFragmentRun run = Trun(0x000B05, 4, RunOfFour());
  for (uint32_t i : {0u, 3u, 1u, 2u, 3u, 0u}) {
    int64_t expected = -256;
    for (uint32_t k = 0; k < i; ++k) expected += 1000 * (k + 1);
    EXPECT_EQ(run.GetSampleDataOffset(i, 77), expected) << i;
  }
}

TEST(TrackRunRecords, RunWithoutPerSampleFieldsUsesDefaults) {
  const TrackFragmentRun run = Trun(0x000001, 8, ByteBuilder().u32(40).str(), 512);
  EXPECT_EQ(run.GetSampleSize(5), 0u);
  EXPECT_EQ(run.GetSampleDataOffset(5, 1000), 40 + 5000);
  EXPECT_EQ(run.GetDuration(), 8u * 512);
  EXPECT_EQ(run.GetSampleTimeOffset(3), 3u * 512);
  EXPECT_EQ(run.FindSampleIndex(1023), 1u);
  EXPECT_EQ(run.FindSampleIndex(1024), 2u);
  EXPECT_FALSE(run.IsSetSampleFlags(0));
  EXPECT_EQ(Trun(0, 3, "", 0).FindSampleIndex(5000), 0u);
  // Per-sample durations cannot be timed by index.
  const TrackFragmentRun timed = Trun(0x000100, 2, ByteBuilder().u32(10).u32(20).str(), 512);
  EXPECT_EQ(ErrorText([&] { timed.GetSampleTimeOffset(1); }), "[Not implemented]");
  EXPECT_THROW(timed.FindSampleIndex(15), qel::QELRuntimeError);
  EXPECT_EQ(timed.GetDuration(), 30u);
}

TEST(TrackRunRecords, TableOrFieldsPastTheAtomAreRefused) {
  const std::string trun = FullAtom("trun", 0, 0x000B05, ByteBuilder().u32(4).bytes(RunOfFour()).str());
  for (const std::string& cut : Truncations(trun)) {
    const ExactBuffer c(cut);
    EXPECT_EQ(ErrorText([&] { TrackFragmentRun::ParseTrun(Chars(c), c.size(), 0); }).rfind("[trun atom too small]", 0), 0u)
        << cut.size();
  }
  // A count that no atom could hold is refused before anything is allocated.
  const ExactBuffer huge(FullAtom("trun", 0, 0x000300, ByteBuilder().u32(0xFFFFFFFF).u64(0).str()));
  EXPECT_EQ(ErrorText([&] { TrackFragmentRun::ParseTrun(Chars(huge), huge.size(), 0); }),
            "[trun atom too small] [ value1 (24) is not >= value2 (34359738376) ]");
}

TEST(SampleSizeFallback, RunThenHeaderThenTrack) {
  const MediaTrackExtends trex(1, 1000, 300, 0);
  const TrackFragmentHeader noDefault = Tfhd(0, "");
  const TrackFragmentHeader withDefault = Tfhd(0x000010, ByteBuilder().u32(200).str());
  const TrackFragmentRun sized = Trun(0x000200, 3, ByteBuilder().u32(10).u32(0).u32(30).str());
  EXPECT_EQ(GetOneSampleSize(trex, noDefault, sized, 0), 10u);
  EXPECT_EQ(GetOneSampleSize(trex, noDefault, sized, 1), 300u);  // a size of 0 counts as absent
  EXPECT_EQ(GetOneSampleSize(trex, withDefault, sized, 1), 200u);
  EXPECT_EQ(GetOneSampleSize(trex, withDefault, sized, 3), 200u);  // past the run
  EXPECT_EQ(GetWholeSamplesSize(trex, withDefault, sized), 10u + 200 + 30);
  const TrackFragmentRun unsized = Trun(0, 5, "");
  EXPECT_EQ(GetWholeSamplesSize(trex, noDefault, unsized), 5u * 300);
  EXPECT_EQ(GetWholeSamplesSize(trex, withDefault, Trun(0, 0, "")), 0u);
  const MediaTrackExtends big(1, 0, 0x80000000, 0);
  EXPECT_EQ(GetWholeSamplesSize(big, noDefault, Trun(0, 3, "")), 0x80000000u);  // wraps at 32 bits
}

TEST(DurationAndFlagsFallback, RunThenHeaderThenTrack) {
  const MediaTrackExtends trex(1, 1000, 0, 0x01010000);
  const TrackFragmentHeader noDefault = Tfhd(0, "");
  const TrackFragmentHeader withDefaults = Tfhd(0x000028, ByteBuilder().u32(512).u32(0x02000000).str());
  const TrackFragmentRun firstFlagsOnly = Trun(0x000004, 2, ByteBuilder().u32(0x00000000).str());
  EXPECT_EQ(GetOneSampleFlags(trex, noDefault, firstFlagsOnly, 0).sample_is_non_sync_sample, 0u);
  EXPECT_EQ(GetOneSampleFlags(trex, noDefault, firstFlagsOnly, 1).sample_is_non_sync_sample, 1u);
  EXPECT_EQ(GetOneSampleFlags(trex, withDefaults, firstFlagsOnly, 1).sample_depends_on, 2u);
  EXPECT_EQ(GetOneSampleDuration(trex, noDefault, firstFlagsOnly, 1), 1000u);
  EXPECT_EQ(GetOneSampleDuration(trex, withDefaults, firstFlagsOnly, 1), 512u);
  const TrackFragmentRun timed = Trun(0x000100, 2, ByteBuilder().u32(7).u32(9).str());
  EXPECT_EQ(GetOneSampleDuration(trex, withDefaults, timed, 1), 9u);
  EXPECT_EQ(GetOneSampleDuration(trex, withDefaults, timed, 2), 512u);  // past the run
}

}  // namespace
