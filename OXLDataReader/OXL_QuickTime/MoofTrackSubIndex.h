#pragma once
// The samples of one track fragment ("traf" of a "moof"): MoofTrackSubIndex
// has one cursor position per sample of each run ("trun");
// MoofAudioPcmTrackSubIndex, for uncompressed sound, one per run, holding
// all the run's audio frames.
//
// A sample's duration, size and flags come from its run, else the fragment
// header's default, else the track's ("trex"). Times are those of the runs:
// a run starts where the one before it ends, the first at the fragment's
// start time ("tfdt", or one given later by the track index). Runs timed by
// per-sample durations cannot be looked up by time (their samples answer
// "Not implemented"); runs without samples are passed over by the cursors.
// A run without per-sample fields may claim any number of samples in a few
// bytes; the cursors' sync searches decide for all its samples after the
// first at once, so that they cost no more than the runs' real tables.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/TrackFragments.h"
#include "OXLDataReader/OXL_QuickTime/TrackSubIndex.h"
#include "qelCore/Buffer.h"
#include "qelCore/EditRate.h"

// k is a run number, i a sample number within run k.
class IMoofTrackSubIndex {
 public:
  virtual ~IMoofTrackSubIndex() = default;
  virtual int64_t GetNumberOfTrun() const = 0;
  virtual uint32_t GetSampleCount(int64_t k) const = 0;
  virtual qel::TimeLimits GetTimeStamp(int64_t k, uint32_t i) const = 0;
  virtual qel::TimeLimits GetReferenceTimeStamp(int64_t k, uint32_t i) const = 0;
  virtual double GetSampleDuration(int64_t k, uint32_t i) const = 0;
  virtual uint32_t GetSampleSize(int64_t k, uint32_t i) const = 0;
  virtual TrackFragmentRun::SampleFlags GetSampleFlags(int64_t k, uint32_t i) const = 0;
  // True when every sample of run k after its first has the same flags (the
  // run carries none per sample).
  virtual bool SharesFlagsAfterFirst(int64_t k) const = 0;
  virtual uint64_t GetSampleDataOffset(int64_t k, uint32_t i) const = 0;
  // Absolute start time of run k; fails ("offset out of range") for k past the runs.
  virtual qel::MediaTime TimeToTrunOffset(int64_t k) const = 0;
};

class MoofTrackSubIndex : public ITrackSubIndex, public IMoofTrackSubIndex {
 public:
  // `rest` holds the "traf" after its "tfhd": an optional "tfdt", then the
  // runs; the first other atom ends them. `baseDataOffset` is used when the
  // fragment header gives none (the "moof" offset).
  MoofTrackSubIndex(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                    const std::shared_ptr<const qel::IBuffer>& rest, qel::EditRate editRate, uint64_t baseDataOffset);

  const char* GetSubIndexType() const override { return "moof"; }
  std::shared_ptr<IQtSampleIndex> GetFirstSampleIndex() override;
  // The sample playing at `seconds`; empty when this fragment does not hold that time.
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(double seconds) override;
  // Fails: fragments are not looked up by file offset.
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(unsigned long fileOffset) override;
  // On the last sample; before the first when no run holds a sample.
  std::shared_ptr<IQtSampleIndex> GetLastSampleIndex() override;
  bool MoveToFirstSample(IQtSampleIndex& cursor) override;
  bool MoveToLastSample(IQtSampleIndex& cursor) override;
  bool IsKnownTimestamp() const override { return m_Start.has_value(); }
  void SetStartTimestamp(qel::MediaTime start) override { m_Start = start; }
  qel::MediaTime GetStartTimestamp() const override { return m_Start ? *m_Start : qel::MediaTime(m_EditRate, 0); }
  // The sum of the run durations.
  qel::MediaTime GetDuration() const override;
  qel::MediaTime GetMediaContentDuration() const override { return GetDuration(); }
  uint64_t GetBaseDataOffset() const override;
  qel::MediaTime GetTrackMediaTimeOffset() const override { return qel::MediaTime(m_EditRate, 0); }

  int64_t GetNumberOfTrun() const override { return static_cast<int64_t>(m_Runs.size()); }
  uint32_t GetSampleCount(int64_t k) const override { return GetTrun(k).GetSampleCount(); }
  qel::TimeLimits GetTimeStamp(int64_t k, uint32_t i) const override;
  qel::TimeLimits GetReferenceTimeStamp(int64_t k, uint32_t i) const override;
  double GetSampleDuration(int64_t k, uint32_t i) const override;
  uint32_t GetSampleSize(int64_t k, uint32_t i) const override;
  TrackFragmentRun::SampleFlags GetSampleFlags(int64_t k, uint32_t i) const override;
  bool SharesFlagsAfterFirst(int64_t k) const override { return !GetTrun(k).IsSetSampleFlags(1); }
  uint64_t GetSampleDataOffset(int64_t k, uint32_t i) const override;
  qel::MediaTime TimeToTrunOffset(int64_t k) const override;

  // Run k; fails ("negative index not allowed") for k below 0.
  const TrackFragmentRun& GetTrun(int64_t k) const;

 protected:
  // Run k as the cursor sees it: the sample within it whose fields stand for
  // a position (i itself; sample 0 for PCM), and the position's duration.
  virtual uint32_t FieldSample(uint32_t i) const { return i; }
  virtual uint32_t PositionDuration(int64_t k, uint32_t i) const;
  // The run holding `t` (a time number); fails when there is none.
  int64_t FindTrunIndex(uint64_t t) const;
  virtual bool MayPrecedeStart() const { return false; }
  double Seconds(uint64_t units) const;

  MediaTrackExtends m_Trex;
  TrackFragmentHeader m_Tfhd;
  qel::EditRate m_EditRate;
  std::optional<qel::MediaTime> m_Start;
  std::vector<TrackFragmentRun> m_Runs;
  uint64_t m_qwFallbackBaseDataOffset;
  uint32_t m_dwDefaultDuration = 0;
  uint32_t m_dwDefaultSize = 0;
  std::vector<uint64_t> m_RunStarts;  // sums of the durations of the runs before each one
};

// One position per run: all its audio frames as one sample.
class MoofAudioPcmTrackSubIndex : public MoofTrackSubIndex {
 public:
  using MoofTrackSubIndex::MoofTrackSubIndex;

  uint32_t GetSampleCount(int64_t) const override { return 1; }
  uint32_t GetSampleSize(int64_t k, uint32_t i) const override;

 protected:
  uint32_t FieldSample(uint32_t) const override { return 0; }
  uint32_t PositionDuration(int64_t k, uint32_t i) const override;
  bool MayPrecedeStart() const override { return true; }
};

std::shared_ptr<ITrackSubIndex> CreateMovieFragmentTrackIndex(const MediaTrackExtends& trex,
                                                              const TrackFragmentHeader& tfhd,
                                                              std::shared_ptr<const qel::IBuffer> rest,
                                                              qel::EditRate editRate, unsigned long baseDataOffset);
std::shared_ptr<ITrackSubIndex> CreateAudioPcmMovieFragmentTrackIndex(const MediaTrackExtends& trex,
                                                                      const TrackFragmentHeader& tfhd,
                                                                      std::shared_ptr<const qel::IBuffer> rest,
                                                                      qel::EditRate editRate,
                                                                      unsigned long baseDataOffset);
