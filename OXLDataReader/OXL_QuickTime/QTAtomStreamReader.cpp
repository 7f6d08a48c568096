#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"

#include <algorithm>
#include <limits>

unsigned long CQTAtomStreamReader::GetCursorFileOffset() const {
  return m_qwBufferFileOffset + static_cast<unsigned long>(m_pCurrent - m_pBuffer);
}

CQTAtomStreamReader::WalkEnd CQTAtomStreamReader::WalkAtoms(const AtomActionFunction& act, uint64_t limit,
                                                             bool overrunLast) {
  uint64_t remaining = limit;
  while (remaining > 0) {
    if (!InsureAvailableBytes(8)) return WalkEnd::EndOfData;
    const uint32_t size = Read32(m_pCurrent);
    if (size == 0) return WalkEnd::ZeroSize;
    if (size < 8) return WalkEnd::BadSize;
    if (size > remaining && !overrunLast) return WalkEnd::Oversized;
    switch (act(QTReader::LoadAtomType(m_pCurrent + 4), size)) {
      case AtomAction::Skip:
        if (SkipBytes(size) != 0) return WalkEnd::Failed;
        break;
      case AtomAction::Consumed:
        break;
      case AtomAction::Stop:
        return WalkEnd::Stopped;
      case AtomAction::Fail:
        return WalkEnd::Failed;
    }
    if (limit != UINT64_MAX) remaining -= std::min<uint64_t>(size, remaining);
  }
  return WalkEnd::LimitReached;
}

bool CQTAtomStreamReader::LoadWholeAtom(uint32_t size) {
  if (!m_pFileReader) return false;
  if (m_dwAvailableBytes >= size) return true;
  if (size > kMaxAtomInMemory) return false;
  const unsigned long fileSize = m_pFileReader->GetFileSize();
  if (fileSize != std::numeric_limits<unsigned long>::max() && GetCursorFileOffset() + uint64_t(size) > fileSize)
    return false;
  if (size > m_dwBufferSize && SetBufferSize(size) != 0) return false;
  return InsureAvailableBytes(size);
}

bool CQTAtomStreamReader::MovePast(uint64_t size) {
  if (size <= m_dwAvailableBytes) return SkipBytes(static_cast<unsigned int>(size)) == 0;
  const unsigned long offset = GetCursorFileOffset();
  if (size > std::numeric_limits<unsigned long>::max() - offset) return false;
  return SetFileIndex(offset + size) == 0;
}

bool CQTAtomStreamReader::FindTopLevelAtom(uint32_t type) {
  for (;;) {
    if (!InsureAvailableBytes(8)) return false;
    if (QTReader::LoadAtomType(m_pCurrent + 4) == type) return true;
    uint64_t size = Read32(m_pCurrent);
    if (size < 8) {
      if (!InsureAvailableBytes(16)) return false;
      size = Read64(m_pCurrent + 8);
      if (size < 16) return false;
    }
    if (!MovePast(size)) return false;
  }
}
