#pragma once
// One track of a QuickTime/MP4 movie: what the reader needs of its "trak"
// atom (identity, handler, sizes, timescale, edit start, external media
// reference, sample descriptions) and its sample index, to which the movie
// header and later movie fragments append sub-indexes.
//
// Cursors handed out hide the edit start: the first sample the edit list
// plays has time 0.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/OXLDataReader.h"
#include "OXLDataReader/OXL_QuickTime/StsdAtom.h"
#include "OXLDataReader/OXL_QuickTime/TrackFragments.h"
#include "OXLDataReader/OXL_QuickTime/TrackIndex.h"
#include "qelCore/EditRate.h"
#include "qelCore/MediaDescription.h"

class CQTMediaTrack {
 public:
  explicit CQTMediaTrack(qel::EditRate movieRate);

  // Parses the atom (size bytes at trak). 0 on success; non-zero when the
  // track has no usable media or its handler is unknown. Sample-description
  // errors (QTUtils::unsuported_or_invalid) propagate.
  int ReadTrackAtom(const unsigned char* trak, unsigned long size);
  // The ID in the last "tkhd" of at least 92 bytes (104 for version 1), or 0.
  static uint32_t GetTrackIdFromTrakAtom(const unsigned char* trak, unsigned long size);

  // Identity and type.
  uint32_t GetTrackId() const { return m_dwTrackId; }
  bool IsTrackType(const char* type) const;
  void SetTrackType(const signed char* type);
  const std::string& GetTrackType() const { return m_HandlerType; }

  // Sample descriptions.
  int StoreStsd(const unsigned char* stbl, unsigned long size);
  bool GetStsd(std::string& stsd) const;
  bool GetStsd(const char*& stsd, unsigned long& size) const;
  int ReadTrackSampleDescriptor();
  // The first child of `type` (four characters) of the sample table, while
  // the track is being read; the table itself then lives in the sub-index.
  bool FindInfoTag(const char* type, const unsigned char*& atom, uint32_t& size) const;
  const QTReader::CStsdAtom& GetSampleDescriptions() const { return m_StsdAtom; }
  // The four-character data format of the first sample description ("apch", "twos"), empty without one.
  std::string GetDataFormat() const;

  // Codec and media.
  OXLDataReader::VideoDataType GetVideoCodec();
  int GetVideoChroma();
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info);
  bool GetSystemFromSampleTime(double& duration, qel::EditRate& rate);
  bool GetAudioInfo(uint32_t& channels, qel::audio_codec& codec);
  std::shared_ptr<qel::IAudioParameters> GetAudioParameters();
  static uint32_t ReadUniqueSampleSizeFromAudioDescriptor(const unsigned char* stsd, unsigned long size);
  unsigned int GetDataBufferSize();
  // False for a track whose index holds no sample (yet).
  bool HasSamples();

  // Index.
  void AppendSubIndex(std::shared_ptr<ITrackSubIndex> subIndex);
  void SetTrackExtends(const MediaTrackExtends& extends) { m_TrackExtends = extends; }
  const MediaTrackExtends& GetTrackExtends() const { return m_TrackExtends; }
  void ForceSyncSamples() { m_bForceSync = true; }
  qel::MediaTime GetTrackDuration();
  double GetTrackContentDuration();
  bool UpdateReferenceDuration(unsigned long fileSize);
  CTrackIndex& GetTrackIndex() { return m_TrackIndex; }

  // Cursors; empty when there is no such sample.
  std::shared_ptr<IQtSampleIndex> FindFirstSample();
  std::shared_ptr<IQtSampleIndex> FindLastSample();
  std::shared_ptr<IQtSampleIndex> FindLastSampleExcluded();
  std::shared_ptr<IQtSampleIndex> FindLastReferenceSample(unsigned long fileSize);
  std::shared_ptr<IQtSampleIndex> FindLastReferenceSampleExcluded(unsigned long fileSize);
  std::shared_ptr<IQtSampleIndex> FindTimeOffsetSample(double seconds);
  std::shared_ptr<IQtSampleIndex> CreateMediaTrackSampleIndex(std::shared_ptr<IQtSampleIndex> inner);

  // What the atom said.
  uint32_t GetMediaTimescale() const { return m_dwMediaTimescale; }
  int64_t GetMediaDuration() const { return m_qwMediaDuration; }
  int64_t GetTrackHeaderDuration() const { return m_qwTrackHeaderDuration; }
  uint32_t GetStartOffset() const { return m_dwStartOffset; }
  bool IsReference() const { return m_bIsReference; }
  const std::wstring& GetReferenceFileName() const { return m_ReferenceFileName; }
  uint32_t GetWidth() const { return m_dwWidth; }
  uint32_t GetHeight() const { return m_dwHeight; }
  const qel::EditRate& GetSystemEditRate() const { return m_SystemEditRate; }
  // Samples listed by the movie header's sample-size table (0 without one).
  uint32_t GetSampleCount() const { return m_dwSampleCount; }

 private:
  struct TrackHeader {
    uint32_t id = 0;
    int64_t duration = 0;
    uint32_t width = 0, height = 0;
  };
  // The fields of a "tkhd" of either version; false when it is too short.
  static bool ReadTrackHeader(const unsigned char* tkhd, uint32_t size, TrackHeader& header);
  int ReadTrackEdit(const unsigned char* edts, uint32_t size);
  int ReadTrackMedia(const unsigned char* mdia, uint32_t size);
  int ReadMediaInfo(const unsigned char* minf, uint32_t size);
  void ReadMediaRef(const unsigned char* dref, uint32_t size);
  int SetSampleTable(const unsigned char* stbl, uint32_t size);
  OXLDataReader::VideoDataType GetMp4vCodec() const;
  OXLDataReader::VideoResolution ResolutionOf(uint32_t height, uint8_t& aspect) const;
  uint8_t SdAspectRatio(uint32_t width, uint32_t height) const;
  bool IsProgressiveFromDescription(const QTReader::CVideoSampleDescription& video, bool& known) const;
  bool ParseAudioInfo(uint32_t& channels, qel::audio_codec& codec) const;

  // GetAudioInfo's answer for the current sample description.
  struct AudioInfoMemo {
    bool known = false;
    bool found = false;
    uint32_t channels = 0;
    qel::audio_codec codec = qel::audio_codec_unknown;
  };

  uint32_t m_dwMediaTimescale = 0;
  int64_t m_qwMediaDuration = -1;
  int64_t m_qwTrackHeaderDuration = 0;
  double m_dSampleDuration = -1.0;
  uint32_t m_dwStartOffset = 0;
  bool m_bIsReference = false;
  std::wstring m_ReferenceFileName;
  uint32_t m_dwWidth = 0;
  uint32_t m_dwHeight = 0;
  CTrackIndex m_TrackIndex;
  std::string m_HandlerType = "unkn";
  std::string m_StsdCopy;  // copy of the "stsd" atom
  const unsigned char* m_pStbl = nullptr;  // the caller's "stbl" bytes while the track is being read
  uint32_t m_dwStblSize = 0;
  QTReader::CStsdAtom m_StsdAtom;
  OXLDataReader::VIDEO_INFO m_VideoInfo{};
  MediaTrackExtends m_TrackExtends;
  qel::EditRate m_SystemEditRate{0, 0};
  uint32_t m_dwTrackId = 0;
  uint32_t m_dwSampleCount = 0;
  bool m_bForceSync = false;
  qel::EditRate m_EditRate;
  AudioInfoMemo m_AudioInfo;
};

namespace QTMediaTrack {
// A track parsed from `size` bytes at `trak`, or empty when it has no usable media.
std::shared_ptr<CQTMediaTrack> CreateMediaTrack(qel::EditRate movieRate, const unsigned char* trak,
                                                unsigned long size);
}  // namespace QTMediaTrack
