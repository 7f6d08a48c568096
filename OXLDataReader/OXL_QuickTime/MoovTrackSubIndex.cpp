#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndex.h"

#include <algorithm>

#include "qelCore/Check.h"

namespace {
const uint64_t kNoOffset = ~uint64_t(0);
}  // namespace

MoovTrackSubIndex::MoovTrackSubIndex(const unsigned char* stbl, unsigned long size, qel::MediaTime trackDuration,
                                     qel::EditRate editRate, unsigned long mediaDuration)
    : MoovTrackSubIndexBase(trackDuration, editRate, mediaDuration), m_TrackMediaTimeOffset(editRate, 0) {
  (void)SetTrackIndexData(stbl, size, editRate);
}

bool MoovTrackSubIndex::SetTrackIndexData(const unsigned char* stbl, unsigned long size, qel::EditRate editRate) {
  const FoundTables found = LoadTables(stbl, size, editRate, true);
  m_LastOffset = OffsetMemo();
  m_qwSampleCount = std::min({uint64_t(m_SampleSizes.GetSampleSizeCount()), m_TimeToSample.GetSampleCount(),
                              m_SampleToChunk.CountSamples(m_ChunkOffsets.GetNumberOfChunk())});
  m_TrackMediaTimeOffset = qel::MediaTime(editRate, 0);
  ComputeFirstSampleOffset();
  return found.AllMandatory();
}

bool MoovTrackSubIndex::GetStsdDescriptor(const unsigned char*& data, unsigned long& size) const {
  data = m_pStsd;
  size = m_dwStsdSize;
  return size != 0;
}

// The earliest presentation among the first ten samples becomes time zero.
// Samples that the time tables do not cover end the search.
void MoovTrackSubIndex::ComputeFirstSampleOffset() {
  for (uint64_t n = 0; n < 10 && m_TimeToSample.FindSample(n) && m_CompositionOffsets.CoversSample(n); ++n) {
    qel::MediaTime presented = m_TimeToSample.GetSampleTime(n).start;
    presented += m_CompositionOffsets.GetCompositionToTimeOffset(n);
    if (n == 0 || presented < m_TrackMediaTimeOffset) m_TrackMediaTimeOffset = presented;
  }
}

uint64_t MoovTrackSubIndex::SizeOfSamples(uint64_t first, uint32_t count) const {
  if (const uint32_t uniform = m_SampleSizes.GetUniformSize()) return uint64_t(uniform) * count;
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) total += m_SampleSizes.GetSampleSize(first + i);
  return total;
}

uint64_t MoovTrackSubIndex::GetSampleOffset(uint64_t n) {
  uint32_t chunk = 0, place = 0;
  if (!m_SampleToChunk.GetSampleChunkData(n, chunk, place) || chunk >= m_ChunkOffsets.GetNumberOfChunk())
    return kNoOffset;
  uint64_t offset;
  const OffsetMemo& last = m_LastOffset;
  if (last.valid && last.chunk == chunk && n == last.sample + 1)
    offset = last.offset + m_SampleSizes.GetSampleSize(last.sample);
  else if (last.valid && last.chunk == chunk && n + 1 == last.sample)
    offset = last.offset - m_SampleSizes.GetSampleSize(n);
  else if (last.valid && last.chunk == chunk && n == last.sample)
    offset = last.offset;
  else
    offset = m_ChunkOffsets.GetChunkOffset(chunk) + SizeOfSamples(n - place, place);
  m_LastOffset = {true, n, chunk, offset};
  return offset;
}

qel::TimeLimits MoovTrackSubIndex::GetSampleTime(uint64_t n) {
  qel::TimeLimits limits = m_TimeToSample.GetSampleTime(n);
  limits.start += int64_t(m_CompositionOffsets.GetCompositionToTimeOffset(n)) - m_TrackMediaTimeOffset.GetTimeNumber();
  return limits;
}

qel::TimeLimits MoovTrackSubIndex::GetReferenceSampleTime(uint64_t n) {
  qel::TimeLimits limits = m_TimeToSample.GetSampleTime(n);
  limits.start -= m_TrackMediaTimeOffset.GetTimeNumber();
  return limits;
}

double MoovTrackSubIndex::GetSampleDuration(uint64_t n) {
  const qel::TimeLimits limits = m_TimeToSample.GetSampleTime(n);
  const qel::EditRate& rate = limits.start.GetEditRate();
  rate.CheckNumerator();
  return double(limits.duration) * rate.denominator / rate.numerator;
}

int64_t MoovTrackSubIndex::LastPosition() { return int64_t(m_qwSampleCount) - 1; }

std::shared_ptr<IQtSampleIndex> MoovTrackSubIndex::FindSampleIndex(double seconds) {
  if (m_qwSampleCount == 0) return nullptr;
  auto cursor = CursorAt(static_cast<int64_t>(m_TimeToSample.FindTimeSample(seconds)));
  return cursor->IsAfterLastIndex() ? GetLastSampleIndex() : cursor;
}

std::optional<uint32_t> MoovTrackSubIndex::FindLastCompleteSample(uint32_t chunk, uint64_t limit) {
  const uint64_t first = m_SampleToChunk.GetChunkToSample(chunk);
  const uint32_t count = m_SampleToChunk.GetChunkSize(chunk);
  const uint64_t samplesLeft = first < m_qwSampleCount ? m_qwSampleCount - first : 0;
  const uint32_t candidates = static_cast<uint32_t>(std::min<uint64_t>(count, samplesLeft));
  const uint64_t start = m_ChunkOffsets.GetChunkOffset(chunk);
  if (candidates == 0 || limit < start) return std::nullopt;
  uint64_t fitting = 0;
  if (const uint32_t uniform = m_SampleSizes.GetUniformSize()) {
    fitting = std::min<uint64_t>((limit - start) / uniform, candidates);
  } else {
    for (uint64_t end = start; fitting < candidates; ++fitting) {
      end += m_SampleSizes.GetSampleSize(first + fitting);
      if (end > limit) break;
    }
  }
  if (fitting == 0) return std::nullopt;
  return static_cast<uint32_t>(fitting - 1);
}

std::shared_ptr<IQtSampleIndex> MoovTrackSubIndex::FindSampleIndex(unsigned long fileOffset) {
  uint32_t chunk = m_ChunkOffsets.FindChunkAtOffset(fileOffset);
  std::optional<uint32_t> place = FindLastCompleteSample(chunk, fileOffset);
  if (!place && chunk > 0) place = FindLastCompleteSample(--chunk, fileOffset);
  QEL_CHECK_TRUE(place.has_value(), "failed to find sample index");
  return CursorAt(static_cast<int64_t>(m_SampleToChunk.GetChunkToSample(chunk) + *place));
}

std::shared_ptr<ITrackSubIndex> CreateMovieHeaderTrackIndex(const unsigned char* stbl, unsigned long size,
                                                            qel::MediaTime trackDuration, qel::EditRate editRate,
                                                            unsigned long mediaDuration) {
  return std::make_shared<MoovTrackSubIndex>(stbl, size, trackDuration, editRate, mediaDuration);
}
