#include "OXLDataReader/OXL_QuickTime/MoofTrackSubIndex.h"

#include <algorithm>
#include <string>
#include <typeinfo>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "qelCore/Check.h"

namespace {

class MoofSample : public IQtSample {
 public:
  MoofSample(int64_t run, uint32_t sample, const IMoofTrackSubIndex& subIndex)
      : m_Run(run), m_Sample(sample), m_SubIndex(subIndex) {}
  bool IsSyncOrPartialSync() const override {
    return m_SubIndex.GetSampleFlags(m_Run, m_Sample).sample_is_non_sync_sample == 0;
  }
  bool IsPartialSync() const override {
    return IsSyncOrPartialSync() && m_SubIndex.GetSampleFlags(m_Run, m_Sample).is_leading == 1;
  }
  qel::TimeLimits GetTimeStamp() const override { return m_SubIndex.GetTimeStamp(m_Run, m_Sample); }
  qel::TimeLimits GetReferenceTimeStamp() const override { return m_SubIndex.GetReferenceTimeStamp(m_Run, m_Sample); }
  double GetSampleDuration() const override { return m_SubIndex.GetSampleDuration(m_Run, m_Sample); }
  unsigned int GetSampleSize() const override { return m_SubIndex.GetSampleSize(m_Run, m_Sample); }
  uint64_t GetSampleOffset() const override { return m_SubIndex.GetSampleDataOffset(m_Run, m_Sample); }
  std::wstring GetSampleFile() const override { return std::wstring(); }

 private:
  int64_t m_Run;
  uint32_t m_Sample;
  const IMoofTrackSubIndex& m_SubIndex;
};

// A cursor over (run, sample); runs without samples are stepped over. The
// sub-index must outlive it.
class MoofSampleIndex : public IQtSampleIndex {
 public:
  MoofSampleIndex(int64_t run, uint32_t sample, const IMoofTrackSubIndex& subIndex)
      : m_Run(run), m_Sample(sample), m_pSubIndex(&subIndex) {}
  std::shared_ptr<IQtSample> GetSample() override {
    if (!m_Cached) m_Cached = std::make_shared<MoofSample>(m_Run, m_Sample, *m_pSubIndex);
    return m_Cached;
  }
  void Next() override {
    QEL_CHECK_FALSE(IsAfterLastIndex(), "Already the last sample index");
    if (!IsBeforeFirstIndex() && m_Sample + 1 < m_pSubIndex->GetSampleCount(m_Run)) {
      ++m_Sample;
    } else {
      m_Sample = 0;
      do ++m_Run;
      while (!IsAfterLastIndex() && m_pSubIndex->GetSampleCount(m_Run) == 0);
    }
    m_Cached.reset();
  }
  void Prev() override {
    QEL_CHECK_FALSE(IsBeforeFirstIndex(), "Already the last sample index");
    if (!IsAfterLastIndex() && m_Sample > 0) {
      --m_Sample;
    } else {
      do --m_Run;
      while (m_Run >= 0 && m_pSubIndex->GetSampleCount(m_Run) == 0);
      m_Sample = m_Run >= 0 ? m_pSubIndex->GetSampleCount(m_Run) - 1 : 0;
    }
    m_Cached.reset();
  }
  // A non-sync sample after the first of a run that shares its flags stands
  // for the rest of the run: the search goes on past them all.
  void SeekSyncForward() override {
    if (IsBeforeFirstIndex()) Next();
    while (!IsOutOfBounds() && !GetSampleFacts().syncOrPartialSync) {
      if (m_Sample > 0 && m_pSubIndex->SharesFlagsAfterFirst(m_Run)) m_Sample = m_pSubIndex->GetSampleCount(m_Run) - 1;
      Next();
    }
  }
  void SeekSyncBackward() override {
    if (IsAfterLastIndex()) Prev();
    while (!IsOutOfBounds() && !GetSampleFacts().syncOrPartialSync) {
      if (m_Sample > 1 && m_pSubIndex->SharesFlagsAfterFirst(m_Run)) m_Sample = 1;
      Prev();
    }
  }
  bool IsBeforeFirstIndex() override { return m_Run < 0; }
  bool IsFirstIndex() override { return m_Run == 0 && m_Sample == 0; }
  bool IsAfterLastIndex() override { return m_Run >= m_pSubIndex->GetNumberOfTrun(); }
  bool IsOutOfBounds() override { return IsBeforeFirstIndex() || IsAfterLastIndex(); }
  std::shared_ptr<IQtSampleIndex> Copy() const override {
    return std::make_shared<MoofSampleIndex>(m_Run, m_Sample, *m_pSubIndex);
  }
  QtSampleFacts GetSampleFacts() override {
    const TrackFragmentRun::SampleFlags flags = m_pSubIndex->GetSampleFlags(m_Run, m_Sample);
    const bool sync = flags.sample_is_non_sync_sample == 0;
    const bool partial = sync && flags.is_leading == 1;
    return {m_pSubIndex->GetSampleDataOffset(m_Run, m_Sample), m_pSubIndex->GetSampleSize(m_Run, m_Sample), sync,
            partial};
  }
  qel::TimeLimits GetSampleTimeStamp() override { return m_pSubIndex->GetTimeStamp(m_Run, m_Sample); }
  qel::TimeLimits GetSampleReferenceTimeStamp() override {
    return m_pSubIndex->GetReferenceTimeStamp(m_Run, m_Sample);
  }
  bool AssignFrom(const IQtSampleIndex& other) override {
    if (typeid(other) != typeid(*this)) return false;
    const auto& same = static_cast<const MoofSampleIndex&>(other);
    Place(same.m_Run, same.m_Sample, *same.m_pSubIndex);
    return true;
  }
  void Place(int64_t run, uint32_t sample, const IMoofTrackSubIndex& subIndex) {
    m_Run = run;
    m_Sample = sample;
    m_pSubIndex = &subIndex;
    m_Cached.reset();
  }

 private:
  int64_t m_Run;
  uint32_t m_Sample;
  const IMoofTrackSubIndex* m_pSubIndex;
  std::shared_ptr<IQtSample> m_Cached;
};

}  // namespace

MoofTrackSubIndex::MoofTrackSubIndex(const MediaTrackExtends& trex, const TrackFragmentHeader& tfhd,
                                     const std::shared_ptr<const qel::IBuffer>& rest, qel::EditRate editRate,
                                     uint64_t baseDataOffset)
    : m_Trex(trex), m_Tfhd(tfhd), m_EditRate(editRate), m_qwFallbackBaseDataOffset(baseDataOffset) {
  const auto& duration = tfhd.GetDefaultSampleDuration();
  m_dwDefaultDuration = duration.IsSet() ? duration.GetValue() : trex.GetDefaultSampleDuration();
  const auto& size = tfhd.GetDefaultSampleSize();
  m_dwDefaultSize = size.IsSet() ? size.GetValue() : trex.GetDefaultSampleSize();
  const unsigned char* p = rest ? rest->GetData() : nullptr;
  uint64_t left = rest ? rest->GetSize() : 0;
  auto atomIs = [&](uint32_t type) { return left >= 8 && QTReader::LoadAtomType(p + 4) == type; };
  auto step = [&] {
    const uint64_t atomSize = QTUtils::Read32(p);
    if (atomSize < 8 || atomSize > left) return false;
    p += atomSize;
    left -= atomSize;
    return true;
  };
  if (atomIs(QTReader::AtomType("tfdt"))) {
    const unsigned int atomSize = static_cast<unsigned int>(std::min<uint64_t>(left, UINT32_MAX));
    m_Start = qel::MediaTime(editRate, static_cast<int64_t>(TrackFragmentBaseMediaDecodeTime::ParseTfdt(
                                           reinterpret_cast<const char*>(p), atomSize)));
    if (!step()) return;
  }
  uint64_t sum = 0;
  while (atomIs(QTReader::AtomType("trun"))) {
    const unsigned int atomSize = static_cast<unsigned int>(std::min<uint64_t>(left, UINT32_MAX));
    m_Runs.push_back(TrackFragmentRun::ParseTrun(reinterpret_cast<const char*>(p), atomSize, m_dwDefaultDuration));
    m_RunStarts.push_back(sum);
    sum += m_Runs.back().GetDuration();
    if (!step()) break;
  }
}

const TrackFragmentRun& MoofTrackSubIndex::GetTrun(int64_t k) const {
  QEL_CHECK_GE(k, int64_t(0), "negative index not allowed");
  QEL_CHECK_LT(k, GetNumberOfTrun(), "offset out of range");
  return m_Runs[static_cast<size_t>(k)];
}

std::shared_ptr<IQtSampleIndex> MoofTrackSubIndex::GetFirstSampleIndex() {
  auto cursor = std::make_shared<MoofSampleIndex>(-1, 0, *this);
  cursor->Next();
  return cursor;
}

std::shared_ptr<IQtSampleIndex> MoofTrackSubIndex::GetLastSampleIndex() {
  auto cursor = std::make_shared<MoofSampleIndex>(GetNumberOfTrun(), 0, *this);
  cursor->Prev();
  return cursor;
}

bool MoofTrackSubIndex::MoveToFirstSample(IQtSampleIndex& cursor) {
  auto* moof = dynamic_cast<MoofSampleIndex*>(&cursor);
  if (!moof) return false;
  moof->Place(-1, 0, *this);
  moof->Next();
  return true;
}

bool MoofTrackSubIndex::MoveToLastSample(IQtSampleIndex& cursor) {
  auto* moof = dynamic_cast<MoofSampleIndex*>(&cursor);
  if (!moof) return false;
  moof->Place(GetNumberOfTrun(), 0, *this);
  moof->Prev();
  return true;
}

std::shared_ptr<IQtSampleIndex> MoofTrackSubIndex::FindSampleIndex(unsigned long) {
  QEL_FAIL("No implemented for moof, used for qt ref only for now");
}

double MoofTrackSubIndex::Seconds(uint64_t units) const {
  m_EditRate.CheckDenominator();
  m_EditRate.CheckNumerator();
  return double(units) * m_EditRate.denominator / m_EditRate.numerator;
}

int64_t MoofTrackSubIndex::FindTrunIndex(uint64_t t) const {
  QEL_CHECK_TRUE(m_Start.has_value(), "invalid timestamp");
  const uint64_t start = static_cast<uint64_t>(m_Start->GetTimeNumber());
  if (!MayPrecedeStart()) QEL_CHECK_GE(t, start, "current time offset is undex starttime");
  for (size_t k = 0; k < m_Runs.size(); ++k)
    if (start + m_RunStarts[k] + m_Runs[k].GetDuration() > t) return static_cast<int64_t>(k);
  QEL_FAIL_TEXT("trun not found for time offset : " + std::to_string(t));
}

std::shared_ptr<IQtSampleIndex> MoofTrackSubIndex::FindSampleIndex(double seconds) {
  m_EditRate.CheckDenominator();
  const double units = seconds * m_EditRate.numerator / m_EditRate.denominator + 0.5;
  const uint64_t t = units > 0 ? static_cast<uint64_t>(std::min(units, 1.8e19)) : 0;
  try {
    const int64_t k = FindTrunIndex(t);
    const uint64_t runStart = static_cast<uint64_t>(TimeToTrunOffset(k).GetTimeNumber());
    const uint32_t into = static_cast<uint32_t>(t > runStart ? t - runStart : 0);
    const uint32_t i = std::min(GetTrun(k).FindSampleIndex(into), GetSampleCount(k) - 1);
    return std::make_shared<MoofSampleIndex>(k, i, *this);
  } catch (const std::exception&) {
    return nullptr;
  }
}

qel::MediaTime MoofTrackSubIndex::TimeToTrunOffset(int64_t k) const {
  QEL_CHECK_LT(k, GetNumberOfTrun(), "offset out of range");
  const int64_t start = m_Start ? m_Start->GetTimeNumber() : 0;
  return qel::MediaTime(m_EditRate, start + static_cast<int64_t>(m_RunStarts[static_cast<size_t>(k)]));
}

qel::MediaTime MoofTrackSubIndex::GetDuration() const {
  if (m_Runs.empty()) return qel::MediaTime(m_EditRate, 0);
  return qel::MediaTime(m_EditRate, static_cast<int64_t>(m_RunStarts.back() + m_Runs.back().GetDuration()));
}

uint64_t MoofTrackSubIndex::GetBaseDataOffset() const {
  return m_Tfhd.IsBaseDataOffsetPresent() ? m_Tfhd.GetBaseDataOffset() : m_qwFallbackBaseDataOffset;
}

uint32_t MoofTrackSubIndex::PositionDuration(int64_t k, uint32_t i) const {
  return GetOneSampleDuration(m_Trex, m_Tfhd, GetTrun(k), i);
}

qel::TimeLimits MoofTrackSubIndex::GetReferenceTimeStamp(int64_t k, uint32_t i) const {
  const uint64_t into = GetTrun(k).GetSampleTimeOffset(FieldSample(i));
  qel::TimeLimits limits;
  limits.start = qel::MediaTime(m_EditRate, TimeToTrunOffset(k).GetTimeNumber() + static_cast<int64_t>(into));
  limits.duration = PositionDuration(k, i);
  return limits;
}

qel::TimeLimits MoofTrackSubIndex::GetTimeStamp(int64_t k, uint32_t i) const {
  qel::TimeLimits limits = GetReferenceTimeStamp(k, i);
  limits.start += static_cast<int64_t>(static_cast<int32_t>(GetTrun(k).GetSampleCompositionTimeOffset(FieldSample(i))));
  return limits;
}

double MoofTrackSubIndex::GetSampleDuration(int64_t k, uint32_t i) const { return Seconds(PositionDuration(k, i)); }

uint32_t MoofTrackSubIndex::GetSampleSize(int64_t k, uint32_t i) const {
  return GetOneSampleSize(m_Trex, m_Tfhd, GetTrun(k), i);
}

TrackFragmentRun::SampleFlags MoofTrackSubIndex::GetSampleFlags(int64_t k, uint32_t i) const {
  return GetOneSampleFlags(m_Trex, m_Tfhd, GetTrun(k), FieldSample(i));
}

uint64_t MoofTrackSubIndex::GetSampleDataOffset(int64_t k, uint32_t i) const {
  return GetBaseDataOffset() + static_cast<uint64_t>(GetTrun(k).GetSampleDataOffset(FieldSample(i), m_dwDefaultSize));
}

uint32_t MoofAudioPcmTrackSubIndex::GetSampleSize(int64_t k, uint32_t) const {
  const TrackFragmentRun& run = GetTrun(k);
  return run.GetSampleCount() * GetOneSampleSize(m_Trex, m_Tfhd, run, 0);
}

uint32_t MoofAudioPcmTrackSubIndex::PositionDuration(int64_t k, uint32_t) const {
  const TrackFragmentRun& run = GetTrun(k);
  return run.GetSampleCount() * GetOneSampleDuration(m_Trex, m_Tfhd, run, 0);
}

std::shared_ptr<ITrackSubIndex> CreateMovieFragmentTrackIndex(const MediaTrackExtends& trex,
                                                              const TrackFragmentHeader& tfhd,
                                                              std::shared_ptr<const qel::IBuffer> rest,
                                                              qel::EditRate editRate, unsigned long baseDataOffset) {
  return std::make_shared<MoofTrackSubIndex>(trex, tfhd, rest, editRate, baseDataOffset);
}

std::shared_ptr<ITrackSubIndex> CreateAudioPcmMovieFragmentTrackIndex(const MediaTrackExtends& trex,
                                                                      const TrackFragmentHeader& tfhd,
                                                                      std::shared_ptr<const qel::IBuffer> rest,
                                                                      qel::EditRate editRate,
                                                                      unsigned long baseDataOffset) {
  return std::make_shared<MoofAudioPcmTrackSubIndex>(trex, tfhd, rest, editRate, baseDataOffset);
}
