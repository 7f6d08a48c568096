#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndexBase.h"

#include <algorithm>
#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"

using QTReader::AtomType;

MoovTrackSubIndexBase::MoovTrackSubIndexBase(qel::MediaTime trackDuration, qel::EditRate editRate,
                                             unsigned long mediaDuration)
    : m_TrackDuration(trackDuration),
      m_EditRate(editRate),
      m_MediaContentDuration(editRate, static_cast<int64_t>(mediaDuration)) {}

void MoovTrackSubIndexBase::SetStartTimestamp(qel::MediaTime) {
  throw std::logic_error("The method or operation is not implemented.");
}

qel::MediaTime MoovTrackSubIndexBase::GetDuration() const {
  m_EditRate.CheckDenominator();
  const double units = m_TrackDuration.GetTimeStamp() * m_EditRate.numerator / m_EditRate.denominator + 0.5;
  return qel::MediaTime(m_EditRate, static_cast<int64_t>(units));
}

bool MoovTrackSubIndexBase::IsSyncOrPartialSync(uint64_t n) {
  return m_SyncSamples.IsSyncSample(n) || m_PartialSyncSamples.IsSyncSample(n);
}

bool MoovTrackSubIndexBase::IsPartialSync(uint64_t n) {
  return !m_SyncSamples.IsSyncSample(n) && m_PartialSyncSamples.IsSyncSample(n);
}

std::optional<uint64_t> MoovTrackSubIndexBase::FindSyncOrPartialSync(uint64_t n, bool forward) {
  if (!m_SyncSamples.HasTable()) return m_SyncSamples.GetDefaultBehavior() ? std::optional<uint64_t>(n) : std::nullopt;
  auto find = [&](const SampleSyncTable& table) { return forward ? table.FindListedFrom(n) : table.FindListedUpTo(n); };
  const std::optional<uint64_t> sync = find(m_SyncSamples);
  const std::optional<uint64_t> partial = find(m_PartialSyncSamples);
  if (!sync || !partial) return sync ? sync : partial;
  return forward ? std::min(*sync, *partial) : std::max(*sync, *partial);
}

QtSampleFacts MoovTrackSubIndexBase::GetSampleFacts(uint64_t n) {
  const bool sync = m_SyncSamples.IsSyncSample(n);
  const bool partial = !sync && m_PartialSyncSamples.IsSyncSample(n);
  return {GetSampleOffset(n), GetSampleSize(n), sync || partial, partial};
}

bool MoovTrackSubIndexBase::Place(IQtSampleIndex& cursor, int64_t position) {
  auto* moov = dynamic_cast<MoovSampleIndex*>(&cursor);
  if (!moov) return false;
  moov->Place(position, *this);
  return true;
}

MoovTrackSubIndexBase::FoundTables MoovTrackSubIndexBase::LoadTables(const unsigned char* stbl, unsigned long size,
                                                                     qel::EditRate editRate, bool withTimesAndSizes) {
  m_Stbl.assign(stbl, stbl ? stbl + size : stbl);
  m_pStsd = nullptr;
  m_dwStsdSize = 0;
  m_ChunkOffsets = CChunkOffsetTable();
  m_SampleToChunk = CSampleChunkTable();
  m_SampleSizes = CSampleSizeTable();
  m_TimeToSample = CSampleTimeTable();
  m_SyncSamples = SampleSyncTable();
  m_PartialSyncSamples = SampleSyncTable();
  m_CompositionOffsets = CompositionTimeToSampleTable();
  FoundTables found;
  QTReader::ForEachChildAtom(m_Stbl.data(), m_Stbl.size(), [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
    if (type == AtomType("stsd")) {
      m_pStsd = child;
      m_dwStsdSize = childSize;
    } else if (type == AtomType("stts")) {
      found.timeToSample = true;
      if (withTimesAndSizes) m_TimeToSample.SetTableData(child, childSize, editRate);
    } else if (type == AtomType("stsc")) {
      found.sampleToChunk = true;
      m_SampleToChunk.SetTableData(child, childSize);
    } else if (type == AtomType("stsz")) {
      found.sampleSize = true;
      if (withTimesAndSizes) m_SampleSizes.SetTableData(child, childSize);
    } else if (type == AtomType("stco") || type == AtomType("co64")) {
      found.chunkOffset = true;
      m_ChunkOffsets.SetTableData(child, childSize);
    } else if (type == AtomType("stss")) {
      m_SyncSamples.SetTableData(child, childSize);
      m_PartialSyncSamples.SetDefaultBehaviorToNotSync();
    } else if (type == AtomType("stps")) {
      m_PartialSyncSamples.SetTableData(child, childSize);
    } else if (type == AtomType("ctts")) {
      m_CompositionOffsets.SetTableData(child, childSize);
    }
    return true;
  });
  return found;
}
