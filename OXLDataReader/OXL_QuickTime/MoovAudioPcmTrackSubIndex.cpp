#include "OXLDataReader/OXL_QuickTime/MoovAudioPcmTrackSubIndex.h"

#include "OXLDataReader/OXL_QuickTime/StsdAtom.h"

MoovAudioPcmTrackSubIndex::MoovAudioPcmTrackSubIndex(const unsigned char* stbl, unsigned long size,
                                                     qel::MediaTime trackDuration, qel::EditRate editRate,
                                                     unsigned long mediaDuration)
    : MoovTrackSubIndexBase(trackDuration, editRate, mediaDuration) {
  (void)SetTrackIndexData(stbl, size, editRate);
}

bool MoovAudioPcmTrackSubIndex::SetTrackIndexData(const unsigned char* stbl, unsigned long size,
                                                  qel::EditRate editRate) {
  const FoundTables found = LoadTables(stbl, size, editRate, false);
  if (m_pStsd) {
    QTReader::CStsdAtom stsd;
    const unsigned char* cursor = m_pStsd;
    QTReader::initStsdAtom(cursor, m_dwStsdSize, stsd, "soun");
    if (!stsd.m_Entries.empty())
      if (auto* audio = dynamic_cast<const QTReader::CAudioSampleDescription*>(stsd.m_Entries.front().get()))
        m_dwBytesPerFrame = audio->GetBytesPerFrame();
  }
  return found.AllMandatory();
}

uint64_t MoovAudioPcmTrackSubIndex::GetSampleOffset(uint64_t n) { return m_ChunkOffsets.GetChunkOffset(Chunk(n)); }

qel::TimeLimits MoovAudioPcmTrackSubIndex::GetSampleTime(uint64_t n) {
  qel::TimeLimits limits;
  limits.start = qel::MediaTime(m_EditRate, static_cast<int64_t>(m_SampleToChunk.GetChunkToSample(Chunk(n))));
  limits.duration = m_SampleToChunk.GetChunkSize(Chunk(n));
  return limits;
}

double MoovAudioPcmTrackSubIndex::GetSampleDuration(uint64_t n) {
  m_EditRate.CheckDenominator();
  m_EditRate.CheckNumerator();
  return double(m_SampleToChunk.GetChunkSize(Chunk(n))) * m_EditRate.denominator / m_EditRate.numerator;
}

unsigned int MoovAudioPcmTrackSubIndex::GetSampleSize(uint64_t n) {
  return m_SampleToChunk.GetChunkSize(Chunk(n)) * m_dwBytesPerFrame;
}

int64_t MoovAudioPcmTrackSubIndex::LastPosition() { return int64_t(m_ChunkOffsets.GetNumberOfChunk()) - 1; }

std::shared_ptr<IQtSampleIndex> MoovAudioPcmTrackSubIndex::FindSampleIndex(double seconds) {
  const double frame = seconds * m_EditRate.numerator + 0.5;
  const uint64_t f = frame > 0.0 ? (frame < 1.8e19 ? static_cast<uint64_t>(frame) : UINT64_MAX) : 0;
  uint32_t chunk = 0, place = 0;
  if (!m_SampleToChunk.GetSampleChunkData(f, chunk, place)) return GetLastSampleIndex();
  auto cursor = CursorAt(chunk);
  return cursor->IsAfterLastIndex() ? GetLastSampleIndex() : cursor;
}

std::shared_ptr<IQtSampleIndex> MoovAudioPcmTrackSubIndex::FindSampleIndex(unsigned long fileOffset) {
  if (m_ChunkOffsets.GetNumberOfChunk() == 0) return nullptr;
  const uint32_t chunk = m_ChunkOffsets.FindChunkAtOffset(fileOffset);
  if (fileOffset >= m_ChunkOffsets.GetChunkOffset(chunk) + GetSampleSize(chunk)) return CursorAt(chunk);
  if (chunk == 0) return nullptr;
  return CursorAt(chunk - 1);
}

std::shared_ptr<ITrackSubIndex> CreateAudioPcmMovieHeaderTrackIndex(const unsigned char* stbl, unsigned long size,
                                                                    qel::MediaTime trackDuration,
                                                                    qel::EditRate editRate,
                                                                    unsigned long mediaDuration) {
  return std::make_shared<MoovAudioPcmTrackSubIndex>(stbl, size, trackDuration, editRate, mediaDuration);
}
