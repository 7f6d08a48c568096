#include "OXLDataReader/OXL_QuickTime/ReferenceMoofTrackSubIndex.h"

#include <boost/thread/locks.hpp>
#include <string>

#include "OXLDataReader/OXL_QuickTime/MoofTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "qelCore/Check.h"

namespace {

// Atoms larger than this are no fragment of a real file; they are not read.
const uint32_t kMaxMoofSize = 64u << 20;

template <bool Pcm>
class ReferenceMovieFragmentTrackIndex : public ITrackSubIndex {
 public:
  ReferenceMovieFragmentTrackIndex(const MediaTrackExtends& trex, qel::EditRate editRate, uint64_t moofOffset,
                                   qel::MediaTime start, uint32_t trackId, std::shared_ptr<LockableOxlFileReader> file)
      : m_Trex(trex), m_EditRate(editRate), m_qwMoofOffset(moofOffset), m_Start(start), m_dwTrackId(trackId),
        m_File(std::move(file)) {}

  const char* GetSubIndexType() const override { return "moof"; }
  bool IsKnownTimestamp() const override { return true; }
  qel::MediaTime GetStartTimestamp() const override { return m_Start; }
  void SetStartTimestamp(qel::MediaTime) override { QEL_FAIL("start timestamp already set"); }
  qel::MediaTime GetTrackMediaTimeOffset() const override { return qel::MediaTime(m_EditRate, 0); }

  std::shared_ptr<IQtSampleIndex> GetFirstSampleIndex() override { return Inner().GetFirstSampleIndex(); }
  std::shared_ptr<IQtSampleIndex> GetLastSampleIndex() override { return Inner().GetLastSampleIndex(); }
  bool MoveToFirstSample(IQtSampleIndex& cursor) override { return Inner().MoveToFirstSample(cursor); }
  bool MoveToLastSample(IQtSampleIndex& cursor) override { return Inner().MoveToLastSample(cursor); }
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(double seconds) override { return Inner().FindSampleIndex(seconds); }
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(unsigned long offset) override {
    return Inner().FindSampleIndex(offset);
  }
  qel::MediaTime GetDuration() const override { return Inner().GetDuration(); }
  qel::MediaTime GetMediaContentDuration() const override { return Inner().GetMediaContentDuration(); }
  uint64_t GetBaseDataOffset() const override { return Inner().GetBaseDataOffset(); }

 private:
  ITrackSubIndex& Inner() const {
    if (!m_Inner) InitInnerIndex();
    QEL_CHECK_NOT_NULL(m_Inner, "no fragment of track " + std::to_string(m_dwTrackId) + " in the moof at " +
                                    std::to_string(m_qwMoofOffset));
    return *m_Inner;
  }

  // Reads `count` bytes at the file position into a new buffer.
  std::shared_ptr<qel::IBuffer> Read(uint32_t count, const std::string& failure) const {
    auto buffer = qel::CreateBuffer();
    QEL_CHECK_TRUE(buffer->Resize(count), "can not size fragment buffer");
    unsigned int read = 0;
    const int result = count ? m_File->ReadFile(buffer->GetData(), count, &read) : 0;
    QEL_CHECK_EQ(0, result, "Failed to read file");
    QEL_CHECK_EQ(read, count, failure);
    return buffer;
  }

  void InitInnerIndex() const {
    boost::unique_lock<boost::mutex> lock(*m_File->GetMutex());
    unsigned long position = m_qwMoofOffset;
    QEL_CHECK_EQ(0, m_File->SetFilePointer(position), "seek failed");
    const std::string at = " bytes at " + std::to_string(m_qwMoofOffset);
    const auto header = Read(8, "Failed to read 8" + at);
    const uint32_t size = QTUtils::Read32(header->GetData());
    QEL_CHECK_GE(size, 8u, "bad atom's size");
    QEL_CHECK_GE(kMaxMoofSize, size, "bad atom's size");
    const std::string failure = "Failed to read " + std::to_string(size - 8) + at;
    // A size past the file's end fails before its buffer is allocated: each
    // look at the track retries, and a damaged random-access table may point
    // many fragments at such a size.
    const unsigned long fileSize = m_File->GetFileSize();
    const unsigned long contentStart = m_qwMoofOffset + 8;
    QEL_CHECK_TRUE(fileSize == ~0UL || (fileSize >= contentStart && fileSize - contentStart >= size - 8), failure);
    const auto content = Read(size - 8, failure);
    const unsigned char* p = content->GetData();
    uint64_t left = content->GetSize();
    while (left > 8) {
      const uint32_t childSize = QTUtils::Read32(p);
      QEL_CHECK_GE(left, uint64_t(childSize), "bad atom's size");
      QEL_CHECK_GE(childSize, 8u, "bad atom's size");
      if (QTReader::LoadAtomType(p + 4) == QTReader::AtomType("traf") && BuildFromTraf(p, childSize)) return;
      p += childSize;
      left -= childSize;
    }
  }

  // True when the "traf" at `traf` is this track's and the inner index was built from it.
  bool BuildFromTraf(const unsigned char* traf, uint32_t size) const {
    if (size < 16) return false;
    const uint32_t tfhdSize = QTUtils::Read32(traf + 8);
    if (tfhdSize < 8 || tfhdSize > size - 8) return false;
    const auto tfhd = TrackFragmentHeader::ParseTfhd(reinterpret_cast<const char*>(traf + 8), tfhdSize);
    if (tfhd.GetTrackId() != m_dwTrackId) return false;
    auto rest = qel::CreateBuffer();
    const uint32_t restSize = size - 8 - tfhdSize;
    QEL_CHECK_TRUE(rest->Resize(restSize), "can not size fragment buffer");
    std::copy(traf + 8 + tfhdSize, traf + size, rest->GetData());
    m_Inner = Pcm ? CreateAudioPcmMovieFragmentTrackIndex(m_Trex, tfhd, rest, m_EditRate, m_qwMoofOffset)
                  : CreateMovieFragmentTrackIndex(m_Trex, tfhd, rest, m_EditRate, m_qwMoofOffset);
    return true;
  }

  MediaTrackExtends m_Trex;
  qel::EditRate m_EditRate;
  uint64_t m_qwMoofOffset;
  qel::MediaTime m_Start;
  uint32_t m_dwTrackId;
  std::shared_ptr<LockableOxlFileReader> m_File;
  mutable std::shared_ptr<ITrackSubIndex> m_Inner;
};

}  // namespace

std::shared_ptr<ITrackSubIndex> CreateReferenceMovieFragmentTrackIndex(const MediaTrackExtends& trex,
                                                                       qel::EditRate editRate,
                                                                       unsigned long moofOffset, qel::MediaTime start,
                                                                       unsigned int trackId,
                                                                       std::shared_ptr<LockableOxlFileReader> file) {
  return std::make_shared<ReferenceMovieFragmentTrackIndex<false>>(trex, editRate, moofOffset, start, trackId,
                                                                   std::move(file));
}

std::shared_ptr<ITrackSubIndex> CreateReferenceAudioPcmMovieFragmentTrackIndex(
    const MediaTrackExtends& trex, qel::EditRate editRate, unsigned long moofOffset, qel::MediaTime start,
    unsigned int trackId, std::shared_ptr<LockableOxlFileReader> file) {
  return std::make_shared<ReferenceMovieFragmentTrackIndex<true>>(trex, editRate, moofOffset, start, trackId,
                                                                  std::move(file));
}
