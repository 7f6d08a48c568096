#pragma once
// MoovTrackSubIndex: the samples described by the sample tables of a movie
// header, one index position per sample (video, compressed sound, timecode
// and every other track but uncompressed sound).
#include <cstdint>
#include <memory>
#include <optional>

#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndexBase.h"

class MoovTrackSubIndex : public MoovTrackSubIndexBase {
 public:
  // `stbl` is the sample table atom, header included, `size` bytes long; it
  // is copied. `trackDuration` is the track header's duration, `editRate`
  // the media time scale over 1 and `mediaDuration` the media's duration in
  // that rate.
  MoovTrackSubIndex(const unsigned char* stbl, unsigned long size, qel::MediaTime trackDuration,
                    qel::EditRate editRate, unsigned long mediaDuration);

  // Copies and wires the tables; true when "stts", "stsc", "stsz" and
  // "stco" or "co64" were all found.
  bool SetTrackIndexData(const unsigned char* stbl, unsigned long size, qel::EditRate editRate);
  // The "stsd" atom inside the copy; false when there is none.
  bool GetStsdDescriptor(const unsigned char*& data, unsigned long& size) const;

  // The sample presented at `seconds` by decode time; past the end, the last
  // sample. Empty for tables without samples (the movie header of a
  // fragmented file): they hold no time, and the fragments are asked.
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(double seconds) override;
  // The last sample complete within the first `fileOffset` bytes of the file.
  // Fails ("failed to find sample index") when neither the chunk at that
  // offset nor the one before holds a complete sample.
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(unsigned long fileOffset) override;
  qel::MediaTime GetTrackMediaTimeOffset() const override { return m_TrackMediaTimeOffset; }

  // All bits set for a sample in no chunk of the tables.
  uint64_t GetSampleOffset(uint64_t n) override;
  qel::TimeLimits GetSampleTime(uint64_t n) override;
  qel::TimeLimits GetReferenceSampleTime(uint64_t n) override;
  double GetSampleDuration(uint64_t n) override;
  unsigned int GetSampleSize(uint64_t n) override { return m_SampleSizes.GetSampleSize(n); }
  // False for 0 even without samples, so a first cursor is never past the end.
  bool IsAfterLastIndex(uint64_t n) override { return n != 0 && n >= m_qwSampleCount; }
  // The samples that every table describes: the least of the "stsz" count,
  // the samples "stts" gives times to, and the samples "stsc" places in the
  // chunks of "stco". A damaged table that claims more samples than the
  // others describe cannot make the track longer than what can be read.
  uint64_t GetPositionCount() override { return m_qwSampleCount; }

 protected:
  int64_t LastPosition() override;

 private:
  void ComputeFirstSampleOffset();
  // Place in `chunk` of its last sample ending at or before `limit`.
  std::optional<uint32_t> FindLastCompleteSample(uint32_t chunk, uint64_t limit);
  uint64_t SizeOfSamples(uint64_t first, uint32_t count) const;

  qel::MediaTime m_TrackMediaTimeOffset;
  uint64_t m_qwSampleCount = 0;
  // The last offset answered, so that a walk through a chunk costs one step per sample.
  struct OffsetMemo {
    bool valid = false;
    uint64_t sample = 0;
    uint32_t chunk = 0;
    uint64_t offset = 0;
  } m_LastOffset;
};

std::shared_ptr<ITrackSubIndex> CreateMovieHeaderTrackIndex(const unsigned char* stbl, unsigned long size,
                                                            qel::MediaTime trackDuration, qel::EditRate editRate,
                                                            unsigned long mediaDuration);
