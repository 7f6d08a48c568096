#pragma once
// MoovAudioPcmTrackSubIndex: the uncompressed sound of a movie header, one
// index position per chunk: a whole chunk of audio frames is one sample.
#include <cstdint>
#include <memory>

#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndexBase.h"

class MoovAudioPcmTrackSubIndex : public MoovTrackSubIndexBase {
 public:
  // Arguments as for MoovTrackSubIndex. The bytes per audio frame come from
  // the first sound description of "stsd"; a description that cannot be
  // read throws QTUtils::unsuported_or_invalid.
  MoovAudioPcmTrackSubIndex(const unsigned char* stbl, unsigned long size, qel::MediaTime trackDuration,
                            qel::EditRate editRate, unsigned long mediaDuration);

  bool SetTrackIndexData(const unsigned char* stbl, unsigned long size, qel::EditRate editRate);
  uint32_t GetBytesPerFrame() const { return m_dwBytesPerFrame; }

  // The chunk holding the audio frame at `seconds`; past the end, the last chunk.
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(double seconds) override;
  // The last chunk complete within the first `fileOffset` bytes; empty when none is.
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(unsigned long fileOffset) override;
  qel::MediaTime GetTrackMediaTimeOffset() const override { return qel::MediaTime(m_EditRate, 0); }

  uint64_t GetSampleOffset(uint64_t n) override;
  // Start: the chunk's first audio frame; duration: its frame count.
  qel::TimeLimits GetSampleTime(uint64_t n) override;
  qel::TimeLimits GetReferenceSampleTime(uint64_t n) override { return GetSampleTime(n); }
  double GetSampleDuration(uint64_t n) override;
  unsigned int GetSampleSize(uint64_t n) override;
  bool IsAfterLastIndex(uint64_t n) override { return n >= m_ChunkOffsets.GetNumberOfChunk(); }
  uint64_t GetPositionCount() override { return m_ChunkOffsets.GetNumberOfChunk(); }

 protected:
  int64_t LastPosition() override;

 private:
  static uint32_t Chunk(uint64_t n) { return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n); }

  uint32_t m_dwBytesPerFrame = 6;
};

std::shared_ptr<ITrackSubIndex> CreateAudioPcmMovieHeaderTrackIndex(const unsigned char* stbl, unsigned long size,
                                                                    qel::MediaTime trackDuration,
                                                                    qel::EditRate editRate,
                                                                    unsigned long mediaDuration);
