// Parsing of a "trak" atom into a CQTMediaTrack.
#include "OXLDataReader/OXL_QuickTime/QTMediaTrack.h"

#include <cstring>

#include "OXLDataReader/OXL_QuickTime/MoovAudioPcmTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OxlTbx/TextEncoding.h"

using QTReader::AtomType;
using QTUtils::Read32;

namespace {

const int kFailure = -1;

// Big-endian reads that answer 0 when the field is not inside [p, p + size).
uint32_t Field32(const unsigned char* p, uint64_t size, uint64_t offset) {
  return offset + 4 <= size ? Read32(p + offset) : 0;
}
uint64_t Field64(const unsigned char* p, uint64_t size, uint64_t offset) {
  return offset + 8 <= size ? QTUtils::Read64(p + offset) : 0;
}

// Everything after the last ':' or '/' of a path.
std::wstring LastPathComponent(const std::string& path) {
  const size_t cut = path.find_last_of(":/");
  return TextEncoding::Unicode::get(cut == std::string::npos ? path : path.substr(cut + 1), 0);
}

bool IsSelfReference(const unsigned char* entry) { return (entry[11] & 1) != 0; }

// The file name of a Mac OS alias: the last component of the POSIX path
// (tag 18) or else of the full path (tag 2) among the tagged records, else
// the length-prefixed name at offset 70. Records are padded to even lengths.
std::wstring AliasFileName(const unsigned char* entry, uint32_t size) {
  std::wstring full, posix;
  if (size - 12 >= 155) {
    uint64_t at = 162;
    while (at + 4 <= size) {
      const uint16_t tag = QTUtils::Read16(entry + at);
      const uint16_t length = QTUtils::Read16(entry + at + 2);
      if (tag == 0xFFFF || at + 4 + length > size) break;
      const std::string text(reinterpret_cast<const char*>(entry + at + 4), length);
      if (tag == 2) full = LastPathComponent(text);
      if (tag == 18) posix = LastPathComponent(text);
      at += 4 + length + (length & 1);
    }
  }
  if (!posix.empty()) return posix;
  if (!full.empty()) return full;
  if (size <= 70) return std::wstring();
  const uint32_t length = entry[70];
  if (71 + length > size) return std::wstring();
  return TextEncoding::Unicode::get(std::string(reinterpret_cast<const char*>(entry + 71), length), 0);
}

}  // namespace

CQTMediaTrack::CQTMediaTrack(qel::EditRate movieRate) : m_EditRate(movieRate) {}

bool CQTMediaTrack::IsTrackType(const char* type) const { return type && m_HandlerType == type; }

void CQTMediaTrack::SetTrackType(const signed char* type) {
  m_HandlerType.assign(reinterpret_cast<const char*>(type), 4);
  m_AudioInfo = AudioInfoMemo();
}

// Version 1 headers carry 64-bit times, which move the fields after them.
bool CQTMediaTrack::ReadTrackHeader(const unsigned char* tkhd, uint32_t size, TrackHeader& header) {
  const bool v1 = size > 8 && tkhd[8] == 1;
  if (size < (v1 ? 104u : 92u)) return false;
  header.id = Read32(tkhd + (v1 ? 28 : 20));
  header.duration = v1 ? static_cast<int64_t>(Field64(tkhd, size, 36)) : Read32(tkhd + 28);
  header.width = Read32(tkhd + (v1 ? 96 : 84)) >> 16;
  header.height = Read32(tkhd + (v1 ? 100 : 88)) >> 16;
  return true;
}

uint32_t CQTMediaTrack::GetTrackIdFromTrakAtom(const unsigned char* trak, unsigned long size) {
  uint32_t id = 0;
  QTReader::ForEachChildAtom(trak, size, [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
    TrackHeader header;
    if (type == AtomType("tkhd") && ReadTrackHeader(child, childSize, header)) id = header.id;
    return true;
  });
  return id;
}

int CQTMediaTrack::ReadTrackAtom(const unsigned char* trak, unsigned long size) {
  int mediaResult = kFailure;
  QTReader::ForEachChildAtom(trak, size, [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
    TrackHeader header;
    if (type == AtomType("tkhd") && ReadTrackHeader(child, childSize, header)) {
      m_dwTrackId = header.id;
      m_qwTrackHeaderDuration = header.duration;
      m_dwWidth = header.width;
      m_dwHeight = header.height;
      return true;
    }
    if (type == AtomType("edts")) return ReadTrackEdit(child, childSize) == 0;
    if (type == AtomType("mdia")) {
      mediaResult = ReadTrackMedia(child, childSize);
      return mediaResult == 0;
    }
    return true;
  });
  const int64_t mediaOffset = m_TrackIndex.GetNumberOfSubTrack() ? m_TrackIndex.GetTrackMediaTimeOffset().GetTimeNumber() : 0;
  if (mediaOffset >= 0 && m_dwStartOffset >= static_cast<uint64_t>(mediaOffset))
    m_dwStartOffset -= static_cast<uint32_t>(mediaOffset);
  if (mediaResult != 0) return mediaResult;
  return m_HandlerType == "unkn" ? kFailure : 0;
}

int CQTMediaTrack::ReadTrackEdit(const unsigned char* edts, uint32_t size) {
  QTReader::ForEachChildAtom(edts, size, [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
    if (type != AtomType("elst") || childSize < 16) return true;
    const uint32_t count = QTReader::CountHeldEntries(child, childSize, 12, 16, 12);
    if (count) m_dwStartOffset = Read32(child + 16 + uint64_t(count - 1) * 12 + 4);
    return true;
  });
  return 0;
}

// Version 1 headers carry 64-bit times; both versions are read.
int CQTMediaTrack::ReadTrackMedia(const unsigned char* mdia, uint32_t size) {
  if (size <= 8) return kFailure;
  int result = kFailure;
  QTReader::ForEachChildAtom(mdia, size, [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
    if (type == AtomType("mdhd")) {
      const bool v1 = childSize > 8 && child[8] == 1;
      m_dwMediaTimescale = Field32(child, childSize, v1 ? 28 : 20);
      m_qwMediaDuration = v1 ? static_cast<int64_t>(Field64(child, childSize, 32)) : Field32(child, childSize, 24);
    } else if (type == AtomType("hdlr") && childSize >= 20) {
      m_HandlerType.assign(reinterpret_cast<const char*>(child + 16), 4);
    } else if (type == AtomType("minf")) {
      result = ReadMediaInfo(child, childSize);
      return false;
    }
    return true;
  });
  return result;
}

int CQTMediaTrack::ReadMediaInfo(const unsigned char* minf, uint32_t size) {
  if (size < 16) return kFailure;
  int result = kFailure;
  uint64_t remaining = size - 8;
  const unsigned char* child = minf + 8;
  while (remaining >= 8) {
    const uint32_t childSize = Read32(child);
    if (childSize > remaining) return 1;
    if (childSize < 8) break;
    const uint32_t type = QTReader::LoadAtomType(child + 4);
    const unsigned char* dref = nullptr;
    uint32_t drefSize = 0;
    if (type == AtomType("dinf") && QTReader::FindChildAtom(child, childSize, AtomType("dref"), dref, drefSize) &&
        dref == child + 8) {
      ReadMediaRef(dref, drefSize);
      result = 0;
    } else if (type == AtomType("stbl")) {
      result = SetSampleTable(child, childSize);
    }
    child += childSize;
    remaining -= childSize;
  }
  return result;
}

void CQTMediaTrack::ReadMediaRef(const unsigned char* dref, uint32_t size) {
  if (size < 16) return;
  const uint32_t count = Read32(dref + 12);
  uint64_t at = 16;
  for (uint32_t i = 0; i < count && at + 12 <= size; ++i) {
    const unsigned char* entry = dref + at;
    const uint32_t entrySize = Read32(entry);
    if (entrySize < 12 || at + entrySize > size) return;
    const uint32_t type = QTReader::LoadAtomType(entry + 4);
    if (type == AtomType("alis")) {
      m_bIsReference = entrySize - 12 >= 4 && !IsSelfReference(entry);
      if (m_bIsReference) m_ReferenceFileName = AliasFileName(entry, entrySize);
    } else if (type == AtomType("url ")) {
      m_bIsReference = entrySize - 12 >= 12 && !IsSelfReference(entry);
      if (m_bIsReference && entrySize > 28) {
        const char* text = reinterpret_cast<const char*>(entry + 28);
        m_ReferenceFileName = TextEncoding::Unicode::get(std::string(text, strnlen(text, entrySize - 28)), 0);
      }
    } else if (type == AtomType("hndl") && m_HandlerType == "tmcd" && entrySize >= 29 &&
               std::memcmp(entry + 21, "data", 4) == 0) {
      m_bIsReference = true;
      m_ReferenceFileName.clear();
      m_dwStartOffset = Read32(entry + 25);
    }
    at += entrySize;
  }
}

// The sub-index keeps its own copy of the table; the track keeps only the
// sample description and the sample count, and looks at the caller's bytes
// while it is being read, so a track costs one stbl copy.
int CQTMediaTrack::SetSampleTable(const unsigned char* stbl, uint32_t size) {
  m_pStbl = stbl;
  m_dwStblSize = size;
  StoreStsd(stbl, size);
  uint32_t channels = 0;
  qel::audio_codec codec = qel::audio_codec_unknown;
  const qel::MediaTime duration(m_EditRate, m_qwTrackHeaderDuration);
  const qel::EditRate mediaRate(m_dwMediaTimescale, 1);
  const unsigned long mediaDuration = m_qwMediaDuration < 0 ? 0 : static_cast<unsigned long>(m_qwMediaDuration);
  if (GetAudioInfo(channels, codec) && codec == qel::audio_codec_pcm)
    AppendSubIndex(CreateAudioPcmMovieHeaderTrackIndex(stbl, size, duration, mediaRate, mediaDuration));
  else
    AppendSubIndex(CreateMovieHeaderTrackIndex(stbl, size, duration, mediaRate, mediaDuration));
  const unsigned char* stsz = nullptr;
  uint32_t stszSize = 0;
  m_dwSampleCount = FindInfoTag("stsz", stsz, stszSize) ? Field32(stsz, stszSize, 16) : 0;
  struct Forget {  // the caller's bytes are gone once the track is read
    CQTMediaTrack* track;
    ~Forget() { track->m_pStbl = nullptr, track->m_dwStblSize = 0; }
  } forget{this};
  return ReadTrackSampleDescriptor();
}

int CQTMediaTrack::StoreStsd(const unsigned char* stbl, unsigned long size) {
  const unsigned char* stsd = nullptr;
  uint32_t stsdSize = 0;
  if (!QTReader::FindChildAtom(stbl, size, AtomType("stsd"), stsd, stsdSize)) return kFailure;
  m_StsdCopy.assign(reinterpret_cast<const char*>(stsd), stsdSize);
  m_AudioInfo = AudioInfoMemo();
  return 0;
}

bool CQTMediaTrack::GetStsd(std::string& stsd) const {
  if (m_StsdCopy.empty()) return false;
  stsd = m_StsdCopy;
  return true;
}

bool CQTMediaTrack::GetStsd(const char*& stsd, unsigned long& size) const {
  if (m_StsdCopy.empty()) return false;
  stsd = m_StsdCopy.data();
  size = m_StsdCopy.size();
  return true;
}

bool CQTMediaTrack::FindInfoTag(const char* type, const unsigned char*& atom, uint32_t& size) const {
  if (!m_pStbl || !type || std::strlen(type) != 4) return false;
  return QTReader::FindChildAtom(m_pStbl, m_dwStblSize, QTReader::LoadAtomType(reinterpret_cast<const unsigned char*>(type)),
                                 atom, size);
}

int CQTMediaTrack::ReadTrackSampleDescriptor() {
  const unsigned char* stsd = nullptr;
  uint32_t size = 0;
  if (!FindInfoTag("stsd", stsd, size)) return kFailure;
  QTReader::CStsdAtom parsed;
  const unsigned char* cursor = stsd;
  QTReader::initStsdAtom(cursor, size, parsed, m_HandlerType);
  m_StsdAtom = std::move(parsed);
  return 0;
}

std::string CQTMediaTrack::GetDataFormat() const {
  if (m_StsdCopy.size() < 24) return std::string();
  return m_StsdCopy.substr(20, 4);
}

void CQTMediaTrack::AppendSubIndex(std::shared_ptr<ITrackSubIndex> subIndex) {
  if (subIndex) m_TrackIndex.AppendTrackSubIndex(std::move(subIndex));
}

qel::MediaTime CQTMediaTrack::GetTrackDuration() { return m_TrackIndex.GetDuration(); }

double CQTMediaTrack::GetTrackContentDuration() { return m_TrackIndex.GetMediaContentDuration().GetTimeStamp(); }

bool CQTMediaTrack::UpdateReferenceDuration(unsigned long fileSize) {
  return m_TrackIndex.GetMaxDuration(fileSize) != m_TrackIndex.GetDuration();
}

std::shared_ptr<CQTMediaTrack> QTMediaTrack::CreateMediaTrack(qel::EditRate movieRate, const unsigned char* trak,
                                                              unsigned long size) {
  auto track = std::make_shared<CQTMediaTrack>(movieRate);
  if (track->ReadTrackAtom(trak, size) != 0) return nullptr;
  return track;
}
