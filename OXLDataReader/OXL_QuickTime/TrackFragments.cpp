#include "OXLDataReader/OXL_QuickTime/TrackFragments.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "qelCore/Check.h"

namespace {

const unsigned char* Bytes(const char* atom) { return reinterpret_cast<const unsigned char*>(atom); }

// Bytes of the atom that may be read: its declared size, within `size`.
uint64_t Readable(const char* atom, unsigned int size) {
  if (size < 4) return size;
  return std::min<uint64_t>(size, QTUtils::Read32(Bytes(atom)));
}

void Require(uint64_t readable, uint64_t needed, const char* type) {
  QEL_CHECK_GE(readable, needed, std::string(type) + " atom too small");
}

// Cursor over the fields of a full atom, each read checked against its size.
class FieldReader {
 public:
  FieldReader(const char* atom, unsigned int size, const char* type)
      : m_Atom(Bytes(atom)), m_Readable(Readable(atom, size)), m_Type(type) {}
  uint32_t U32() {
    Require(m_Readable, m_Offset + 4, m_Type);
    const uint32_t value = QTUtils::Read32(m_Atom + m_Offset);
    m_Offset += 4;
    return value;
  }
  uint64_t U64() {
    const uint64_t high = U32();
    return high << 32 | U32();
  }
  const unsigned char* Take(uint64_t count) {
    Require(m_Readable, m_Offset + count, m_Type);
    const unsigned char* p = m_Atom + m_Offset;
    m_Offset += count;
    return p;
  }

 private:
  const unsigned char* m_Atom;
  uint64_t m_Readable;
  uint64_t m_Offset = 8;
  const char* m_Type;
};

}  // namespace

MediaTrackExtends::MediaTrackExtends(uint32_t trackId, uint32_t defaultSampleDuration, uint32_t defaultSampleSize,
                                     uint32_t defaultSampleFlags)
    : m_bValid(true),
      m_dwTrackId(trackId),
      m_dwDefaultSampleDuration(defaultSampleDuration),
      m_dwDefaultSampleSize(defaultSampleSize),
      m_dwDefaultSampleFlags(defaultSampleFlags) {}

MediaTrackExtends MediaTrackExtends::ParseTrex(const char* atom, unsigned int size) {
  QEL_CHECK_TRUE(Readable(atom, size) >= 32, "buffer to small to read trex atom");
  const unsigned char* p = Bytes(atom);
  return MediaTrackExtends(QTUtils::Read32(p + 12), QTUtils::Read32(p + 20), QTUtils::Read32(p + 24),
                           QTUtils::Read32(p + 28));
}

TrackFragmentHeader TrackFragmentHeader::ParseTfhd(const char* atom, unsigned int size) {
  FieldReader reader(atom, size, "tfhd");
  const uint32_t flags = reader.U32() & 0xFFFFFF;
  TrackFragmentHeader header;
  header.m_dwTrackId = reader.U32();
  if (flags & 0x000001) {
    header.m_bBaseDataOffsetPresent = true;
    header.m_qwBaseDataOffset = reader.U64();
  }
  if (flags & 0x000002) reader.U32();  // sample description index
  if (flags & 0x000008) header.m_DefaultSampleDuration.SetValue(reader.U32());
  if (flags & 0x000010) header.m_DefaultSampleSize.SetValue(reader.U32());
  if (flags & 0x000020) header.m_DefaultSampleFlags.SetValue(reader.U32());
  return header;
}

TrackFragmentRun::SampleFlags TrackFragmentRun::SampleFlags::FromWord(uint32_t word) {
  SampleFlags f;
  f.reserved = word >> 28;
  f.is_leading = (word >> 26) & 0x3;
  f.sample_depends_on = (word >> 24) & 0x3;
  f.sample_is_depended_on = (word >> 22) & 0x3;
  f.sample_has_redundancy = (word >> 20) & 0x3;
  f.sample_padding_value = (word >> 17) & 0x7;
  f.sample_is_non_sync_sample = (word >> 16) & 0x1;
  f.sample_degradation_priority = word & 0xFFFF;
  return f;
}

TrackFragmentRun TrackFragmentRun::ParseTrun(const char* atom, unsigned int size, unsigned int defaultSampleDuration) {
  FieldReader reader(atom, size, "trun");
  const uint32_t flags = reader.U32() & 0xFFFFFF;
  TrackFragmentRun run;
  run.m_bDataOffsetPresent = flags & 0x000001;
  run.m_bFirstSampleFlagsPresent = flags & 0x000004;
  run.m_bSampleDurationPresent = flags & 0x000100;
  run.m_bSampleSizePresent = flags & 0x000200;
  run.m_bSampleFlagsPresent = flags & 0x000400;
  run.m_bCompositionTimeOffsetPresent = flags & 0x000800;
  run.m_dwSampleCount = reader.U32();
  if (run.m_bDataOffsetPresent) run.m_iDataOffset = static_cast<int32_t>(reader.U32());
  if (run.m_bFirstSampleFlagsPresent) run.m_FirstSampleFlags = SampleFlags::FromWord(reader.U32());
  run.m_dwDefaultSampleDuration = defaultSampleDuration;
  run.m_dwStride = 4 * (run.m_bSampleDurationPresent + run.m_bSampleSizePresent + run.m_bSampleFlagsPresent +
                        run.m_bCompositionTimeOffsetPresent);
  if (run.m_dwStride == 0) return run;
  const uint64_t tableSize = uint64_t(run.m_dwSampleCount) * run.m_dwStride;
  const unsigned char* table = reader.Take(tableSize);
  run.m_Table = qel::CreateBuffer();
  if (!run.m_Table || !run.m_Table->Resize(tableSize)) throw std::bad_alloc();
  if (tableSize) std::memcpy(run.m_Table->GetData(), table, tableSize);
  return run;
}

bool TrackFragmentRun::IsSetSampleFlags(uint32_t i) const {
  return m_bSampleFlagsPresent || (i == 0 && m_bFirstSampleFlagsPresent);
}

const unsigned char* TrackFragmentRun::Field(uint32_t i, unsigned int fieldIndex) const {
  const bool present[4] = {m_bSampleDurationPresent, m_bSampleSizePresent, m_bSampleFlagsPresent,
                           m_bCompositionTimeOffsetPresent};
  if (!present[fieldIndex] || i >= m_dwSampleCount) return nullptr;
  unsigned int offset = 0;
  for (unsigned int f = 0; f < fieldIndex; ++f) offset += present[f] ? 4 : 0;
  return m_Table->GetData() + uint64_t(i) * m_dwStride + offset;
}

uint32_t TrackFragmentRun::GetSampleDuration(uint32_t i) const {
  const unsigned char* field = Field(i, 0);
  return field ? QTUtils::Read32(field) : 0;
}

uint32_t TrackFragmentRun::GetSampleSize(uint32_t i) const {
  const unsigned char* field = Field(i, 1);
  return field ? QTUtils::Read32(field) : 0;
}

TrackFragmentRun::SampleFlags TrackFragmentRun::GetSampleFlags(uint32_t i) const {
  if (i == 0 && m_bFirstSampleFlagsPresent) return m_FirstSampleFlags;
  const unsigned char* field = Field(i, 2);
  return field ? SampleFlags::FromWord(QTUtils::Read32(field)) : SampleFlags();
}

uint32_t TrackFragmentRun::GetSampleCompositionTimeOffset(uint32_t i) const {
  const unsigned char* field = Field(i, 3);
  return field ? QTUtils::Read32(field) : 0;
}

int64_t TrackFragmentRun::GetSampleDataOffset(uint32_t i, uint32_t defaultSampleSize) const {
  if (!m_bSampleSizePresent) return int64_t(m_iDataOffset) + int64_t(i) * defaultSampleSize;
  uint32_t from = 0;
  int64_t offset = m_iDataOffset;
  if (m_bLastOffsetValid && m_dwLastOffsetSample <= i) {
    from = m_dwLastOffsetSample;
    offset = m_qwLastOffset;
  }
  for (uint32_t s = from; s < i; ++s) offset += GetSampleSize(s);
  m_dwLastOffsetSample = i;
  m_qwLastOffset = offset;
  m_bLastOffsetValid = true;
  return offset;
}

uint64_t TrackFragmentRun::GetDuration() const {
  if (m_qwDuration) return m_qwDuration;
  if (!m_bSampleDurationPresent) return m_qwDuration = uint64_t(m_dwSampleCount) * m_dwDefaultSampleDuration;
  for (uint32_t i = 0; i < m_dwSampleCount; ++i) m_qwDuration += GetSampleDuration(i);
  return m_qwDuration;
}

void TrackFragmentRun::CheckDefaultDurations() const {
  if (m_bSampleDurationPresent) QEL_FAIL("Not implemented");
}

uint64_t TrackFragmentRun::GetSampleTimeOffset(uint32_t i) const {
  CheckDefaultDurations();
  return uint64_t(i) * m_dwDefaultSampleDuration;
}

uint32_t TrackFragmentRun::FindSampleIndex(uint32_t timeOffset) const {
  CheckDefaultDurations();
  return m_dwDefaultSampleDuration ? timeOffset / m_dwDefaultSampleDuration : 0;
}

uint64_t TrackFragmentBaseMediaDecodeTime::ParseTfdt(const char* atom, unsigned int size) {
  FieldReader reader(atom, size, "tfdt");
  const uint32_t versionAndFlags = reader.U32();
  if ((versionAndFlags >> 24) & 1) return reader.U64();
  return reader.U32();
}

unsigned int GetOneSampleSize(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                              const TrackFragmentRun& trun, unsigned int i) {
  const unsigned int fallback = tfhd.GetDefaultSampleSize().GetValueOr(trex.GetDefaultSampleSize());
  if (i >= trun.GetSampleCount()) return fallback;
  const unsigned int own = trun.GetSampleSize(i);
  return own ? own : fallback;
}

unsigned int GetOneSampleDuration(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                                  const TrackFragmentRun& trun, unsigned int i) {
  if (trun.IsSetSampleDuration() && i < trun.GetSampleCount()) return trun.GetSampleDuration(i);
  return tfhd.GetDefaultSampleDuration().GetValueOr(trex.GetDefaultSampleDuration());
}

TrackFragmentRun::SampleFlags GetOneSampleFlags(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                                                const TrackFragmentRun& trun, unsigned int i) {
  if (trun.IsSetSampleFlags(i) && i < trun.GetSampleCount()) return trun.GetSampleFlags(i);
  return TrackFragmentRun::SampleFlags::FromWord(tfhd.GetDefaultSampleFlags().GetValueOr(trex.GetDefaultSampleFlags()));
}

unsigned int GetWholeSamplesSize(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                                 const TrackFragmentRun& trun) {
  if (!trun.IsSetSampleSize())
    return trun.GetSampleCount() * tfhd.GetDefaultSampleSize().GetValueOr(trex.GetDefaultSampleSize());
  unsigned int total = 0;
  for (uint32_t i = 0; i < trun.GetSampleCount(); ++i) total += GetOneSampleSize(trex, tfhd, trun, i);
  return total;
}
