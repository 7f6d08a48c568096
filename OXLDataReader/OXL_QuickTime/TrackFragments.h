#pragma once
// The records of fragmented files: a track's defaults from the movie header
// ("trex"), and per track fragment its header ("tfhd"), base decode time
// ("tfdt") and sample runs ("trun").
//
// A sample's duration, size and flags come from its run when the run
// carries that field, else from the fragment header's default when set,
// else from the track's default.
//
// Parsers read nothing past the lesser of the atom's declared size and the
// size they are given; an atom too small for the fields its flags announce
// is refused ("<type> atom too small").
#include <cstdint>
#include <memory>

#include "qelCore/Buffer.h"
#include "qelCore/Parameters.h"

class MediaTrackExtends {
 public:
  MediaTrackExtends() = default;  // invalid, all values 0
  MediaTrackExtends(uint32_t trackId, uint32_t defaultSampleDuration, uint32_t defaultSampleSize,
                    uint32_t defaultSampleFlags);

  // Fails ("buffer to small to read trex atom") for an atom of fewer than 32 bytes.
  static MediaTrackExtends ParseTrex(const char* atom, unsigned int size);

  bool IsValid() const { return m_bValid; }
  uint32_t GetTrackId() const { return m_dwTrackId; }
  uint32_t GetDefaultSampleDuration() const { return m_dwDefaultSampleDuration; }
  uint32_t GetDefaultSampleSize() const { return m_dwDefaultSampleSize; }
  uint32_t GetDefaultSampleFlags() const { return m_dwDefaultSampleFlags; }

 private:
  bool m_bValid = false;
  uint32_t m_dwTrackId = 0;
  uint32_t m_dwDefaultSampleDuration = 0;
  uint32_t m_dwDefaultSampleSize = 0;
  uint32_t m_dwDefaultSampleFlags = 0;
};

class TrackFragmentHeader {
 public:
  // An optional default; test IsSet() before GetValue().
  using OptionalValue = qel::Parameter<unsigned int, qel::NoValidator<unsigned int>>;

  static TrackFragmentHeader ParseTfhd(const char* atom, unsigned int size);

  uint32_t GetTrackId() const { return m_dwTrackId; }
  bool IsBaseDataOffsetPresent() const { return m_bBaseDataOffsetPresent; }
  uint64_t GetBaseDataOffset() const { return m_qwBaseDataOffset; }
  const OptionalValue& GetDefaultSampleDuration() const { return m_DefaultSampleDuration; }
  const OptionalValue& GetDefaultSampleSize() const { return m_DefaultSampleSize; }
  const OptionalValue& GetDefaultSampleFlags() const { return m_DefaultSampleFlags; }

 private:
  uint32_t m_dwTrackId = 0;
  bool m_bBaseDataOffsetPresent = false;
  uint64_t m_qwBaseDataOffset = 0;
  OptionalValue m_DefaultSampleDuration;
  OptionalValue m_DefaultSampleSize;
  OptionalValue m_DefaultSampleFlags;
};

class TrackFragmentRun {
 public:
  // The sample-flags word, field by field (ISO/IEC 14496-12 names).
  struct SampleFlags {
    uint32_t reserved = 0;
    uint32_t is_leading = 0;
    uint32_t sample_depends_on = 0;
    uint32_t sample_is_depended_on = 0;
    uint32_t sample_has_redundancy = 0;
    uint32_t sample_padding_value = 0;
    uint32_t sample_is_non_sync_sample = 0;
    uint32_t sample_degradation_priority = 0;

    static SampleFlags FromWord(uint32_t word);
  };

  // `defaultSampleDuration` is the duration of samples for which the run
  // carries none (the fragment header's default, else the track's).
  static TrackFragmentRun ParseTrun(const char* atom, unsigned int size, unsigned int defaultSampleDuration);

  int32_t GetDataOffset() const { return m_iDataOffset; }
  uint32_t GetSampleCount() const { return m_dwSampleCount; }
  const SampleFlags& GetSampleFirstFlags() const { return m_FirstSampleFlags; }
  bool IsSetSampleDuration() const { return m_bSampleDurationPresent; }
  bool IsSetSampleSize() const { return m_bSampleSizePresent; }
  bool IsSetSampleCompositionTimeOffset() const { return m_bCompositionTimeOffsetPresent; }
  bool IsSetSampleFlags(uint32_t i) const;

  // Per-sample values; 0 (all-zero flags) when the run does not carry the
  // field or `i` is not below the sample count.
  uint32_t GetSampleDuration(uint32_t i) const;
  uint32_t GetSampleSize(uint32_t i) const;
  SampleFlags GetSampleFlags(uint32_t i) const;
  // The stored 32 bits; callers take them as signed.
  uint32_t GetSampleCompositionTimeOffset(uint32_t i) const;
  // Offset of sample i's data from the fragment's base data offset.
  // Sequential calls cost one step each.
  int64_t GetSampleDataOffset(uint32_t i, uint32_t defaultSampleSize) const;
  // Total duration of the run in media units, computed once.
  uint64_t GetDuration() const;
  // Time of sample i from the run's start. Runs with per-sample durations
  // fail ("Not implemented").
  uint64_t GetSampleTimeOffset(uint32_t i) const;
  // The sample at `timeOffset` media units from the run's start. Runs with
  // per-sample durations fail ("Not implemented"); with a default duration
  // of 0 every time is sample 0.
  uint32_t FindSampleIndex(uint32_t timeOffset) const;

 private:
  // First byte of field `fieldIndex` (0 duration, 1 size, 2 flags, 3 composition)
  // within sample i's record; null when the run does not carry it.
  const unsigned char* Field(uint32_t i, unsigned int fieldIndex) const;
  void CheckDefaultDurations() const;

  int32_t m_iDataOffset = 0;
  uint32_t m_dwSampleCount = 0;
  SampleFlags m_FirstSampleFlags;
  bool m_bDataOffsetPresent = false;
  bool m_bFirstSampleFlagsPresent = false;
  bool m_bSampleDurationPresent = false;
  bool m_bSampleSizePresent = false;
  bool m_bSampleFlagsPresent = false;
  bool m_bCompositionTimeOffsetPresent = false;
  std::shared_ptr<qel::IBuffer> m_Table;  // copy of the sample records; none without per-sample fields
  uint32_t m_dwStride = 0;
  uint32_t m_dwDefaultSampleDuration = 0;
  mutable uint64_t m_qwDuration = 0;  // 0: not yet computed
  // The last data offset answered, for sequential walks.
  mutable uint32_t m_dwLastOffsetSample = 0;
  mutable int64_t m_qwLastOffset = 0;
  mutable bool m_bLastOffsetValid = false;
};

class TrackFragmentBaseMediaDecodeTime {
 public:
  explicit TrackFragmentBaseMediaDecodeTime(uint64_t time = 0) : m_qwBaseMediaDecodeTime(time) {}
  // Version 1 (lowest bit of the version byte): 64-bit time at offset 12;
  // otherwise 32-bit.
  static uint64_t ParseTfdt(const char* atom, unsigned int size);
  uint64_t GetBaseMediaDecodeTime() const { return m_qwBaseMediaDecodeTime; }

 private:
  uint64_t m_qwBaseMediaDecodeTime;
};

// Size of sample i: the run's own size when not 0, else the fragment
// header's default when set, else the track's. Past the run: the default.
unsigned int GetOneSampleSize(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                              const TrackFragmentRun& trun, unsigned int i);
// Duration of sample i: the run's own when it carries durations, else the
// fragment header's default when set, else the track's.
unsigned int GetOneSampleDuration(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                                  const TrackFragmentRun& trun, unsigned int i);
// Flags of sample i: the run's own when it carries them for i (the first
// sample flags for sample 0), else the fragment header's default when set,
// else the track's.
TrackFragmentRun::SampleFlags GetOneSampleFlags(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                                                const TrackFragmentRun& trun, unsigned int i);
// Sum of GetOneSampleSize over the run, wrapping at 32 bits.
unsigned int GetWholeSamplesSize(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                                 const TrackFragmentRun& trun);
