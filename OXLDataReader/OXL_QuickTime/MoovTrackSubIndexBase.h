#pragma once
// What both kinds of movie-header sub-index share: a private copy of the
// sample table atom ("stbl"), the table cursors wired into it, the track's
// durations and media edit rate, and the answers that do not depend on
// whether a position is a sample or a chunk.
//
// Memory is the stbl copy plus constant state: the tables are read in place
// as positions are asked for, never decoded ahead.
#include <cstdint>
#include <memory>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/ChunkOffsetTable.h"
#include "OXLDataReader/OXL_QuickTime/MoovSampleIndex.h"
#include "OXLDataReader/OXL_QuickTime/SampleChunkTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSizeTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSyncTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"
#include "OXLDataReader/OXL_QuickTime/TrackSubIndex.h"

class MoovTrackSubIndexBase : public ITrackSubIndex, public IMoovTrackSubIndex {
 public:
  MoovTrackSubIndexBase(const MoovTrackSubIndexBase&) = delete;
  MoovTrackSubIndexBase& operator=(const MoovTrackSubIndexBase&) = delete;

  const char* GetSubIndexType() const override { return "moov"; }
  std::shared_ptr<IQtSampleIndex> GetFirstSampleIndex() override { return CursorAt(0); }
  std::shared_ptr<IQtSampleIndex> GetLastSampleIndex() override { return CursorAt(LastPosition()); }
  bool MoveToFirstSample(IQtSampleIndex& cursor) override { return Place(cursor, 0); }
  bool MoveToLastSample(IQtSampleIndex& cursor) override { return Place(cursor, LastPosition()); }
  bool IsKnownTimestamp() const override { return true; }
  // A movie header always starts at zero: throws std::logic_error.
  void SetStartTimestamp(qel::MediaTime start) override;
  qel::MediaTime GetStartTimestamp() const override { return qel::MediaTime(m_EditRate, 0); }
  // The track duration converted to the media edit rate, rounded.
  qel::MediaTime GetDuration() const override;
  qel::MediaTime GetMediaContentDuration() const override { return m_MediaContentDuration; }
  uint64_t GetBaseDataOffset() const override { return 0; }

  // "stss" says sync, or else "stps" does.
  bool IsSyncOrPartialSync(uint64_t n) override;
  // Not sync by "stss" but sync by "stps".
  bool IsPartialSync(uint64_t n) override;
  // Without "stss" every position is sync; otherwise the nearest listed in
  // "stss" or "stps".
  std::optional<uint64_t> FindSyncOrPartialSync(uint64_t n, bool forward) override;
  // Each sync table is asked once for both flags.
  QtSampleFacts GetSampleFacts(uint64_t n) override;

 protected:
  // Which of the tables a sub-index needs were found.
  struct FoundTables {
    bool timeToSample = false;
    bool sampleToChunk = false;
    bool sampleSize = false;
    bool chunkOffset = false;
    bool AllMandatory() const { return timeToSample && sampleToChunk && sampleSize && chunkOffset; }
  };

  MoovTrackSubIndexBase(qel::MediaTime trackDuration, qel::EditRate editRate, unsigned long mediaDuration);

  // Copies the stbl atom and wires each known child to its table. The decode
  // time and sample size tables are only parsed with `withTimesAndSizes`.
  FoundTables LoadTables(const unsigned char* stbl, unsigned long size, qel::EditRate editRate,
                         bool withTimesAndSizes);
  std::shared_ptr<IQtSampleIndex> CursorAt(int64_t position) { return std::make_shared<MoovSampleIndex>(position, *this); }
  bool Place(IQtSampleIndex& cursor, int64_t position);
  // The last index position (a sample, or a chunk for PCM sound); -1 without any.
  virtual int64_t LastPosition() = 0;

  std::vector<unsigned char> m_Stbl;
  const unsigned char* m_pStsd = nullptr;  // inside m_Stbl
  uint32_t m_dwStsdSize = 0;
  CChunkOffsetTable m_ChunkOffsets;
  CSampleChunkTable m_SampleToChunk;
  CSampleSizeTable m_SampleSizes;
  CSampleTimeTable m_TimeToSample;
  SampleSyncTable m_SyncSamples;
  SampleSyncTable m_PartialSyncSamples;
  CompositionTimeToSampleTable m_CompositionOffsets;
  qel::MediaTime m_TrackDuration;
  qel::EditRate m_EditRate;
  qel::MediaTime m_MediaContentDuration;
};
