// CQTDataReader: delivering samples forwards, backwards and from a time.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "OXLDataReader/QTDatareader.h"
#include "OxlTbx/TimeCodeConversions.h"
#include "qelCore/Logger.h"

namespace {
const int kEndOfData = 100;
const int kBufferTooSmall = 101;
const int kNoBuffer = 102;
const int kNoTrack = 104;
const unsigned int kAacPriming = 2112;  // samples an AAC encoder puts before the audio
const unsigned int kDirectReadSize = 64u << 10;

// Rounded to the nearest whole count; negative and NaN give 0 and what does
// not fit 32 bits (a damaged movie's duration) saturates.
unsigned int RoundToCount(double value) {
  if (!(value > 0)) return 0;
  if (value >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<unsigned int>(value + 0.5);
}
}  // namespace

bool CQTDataReader::IsMpeg4AudioTrack() const {
  uint32_t channels = 0;
  qel::audio_codec codec = qel::audio_codec_unknown;
  return m_ActiveTrack && m_ActiveTrack->GetAudioInfo(channels, codec) && codec == qel::audio_codec_aac;
}

double CQTDataReader::PrimingSeconds() const {
  if (!IsMpeg4AudioTrack() || m_ActiveTrack->GetMediaTimescale() == 0) return 0.0;
  return double(kAacPriming) / m_ActiveTrack->GetMediaTimescale();
}

std::shared_ptr<IQtSampleIndex> CQTDataReader::GetCurrentSampleIndex() const {
  return m_Cursor ? m_Cursor->Copy() : nullptr;
}

int CQTDataReader::InitDecoder(unsigned char*, unsigned int, unsigned int*) { return 0; }

// The outermost call saves into a cursor kept for the purpose, in place;
// a nested one (GetInOut asks GetVideoInfo) into a copy of its own.
template <typename Operation>
int CQTDataReader::Contained(const char* name, Operation&& operation) {
  SavedCursor nested;
  SavedCursor& saved = m_iContainedDepth == 0 ? m_CallStart : nested;
  SaveCursor(saved);
  struct Depth {
    int& depth;
    explicit Depth(int& d) : depth(++d) {}
    ~Depth() { --depth; }
  } depth(m_iContainedDepth);
  try {
    return operation();
  } catch (const std::exception& e) {
    LogContained(name, e.what());
  } catch (...) {
    LogContained(name, "unknown failure");
  }
  RestoreCursor(saved);
  return kEndOfData;
}

void CQTDataReader::SaveCursor(SavedCursor& slot) const {
  slot.empty = !m_Cursor;
  if (slot.empty) return;
  if (!slot.cursor || !slot.cursor->AssignFrom(*m_Cursor)) slot.cursor = m_Cursor->Copy();
}

void CQTDataReader::RestoreCursor(const SavedCursor& slot) {
  if (slot.empty) {
    m_Cursor.reset();
    return;
  }
  if (!m_Cursor || !m_Cursor->AssignFrom(*slot.cursor)) m_Cursor = slot.cursor->Copy();
}

void CQTDataReader::LogContained(const char* name, const char* what) const {
  const std::string file = m_pFileReader ? m_pFileReader->GetFileNameAnsi() : std::string("(no file)");
  QEL_LOG(qel::LogLevel::Error, std::string(name) + " on " + file + ": " + what);
}

// Copies `sampleSize` bytes at `offset` behind the `filled` bytes of the
// buffer. Reading on from where the window ends (even across a small gap,
// such as interleaved sound) fills the window ahead; a jump elsewhere reads
// just the sample, so that random access costs one sample, not a window.
// What the window does not hold goes straight from the file into the buffer
// when it is large or after a jump (one copy instead of two), and a sample
// that starts where the last direct read ended needs no seek.
int CQTDataReader::ReadChunkData(unsigned char* buffer, unsigned int size, unsigned long offset,
                                 unsigned int sampleSize, unsigned int& filled) {
  const unsigned long windowEnd = WindowEnd();
  const bool inWindow = InWindow(offset);
  const bool ahead = offset >= windowEnd && offset - windowEnd < m_dwBufferSize;
  if (uint64_t(filled) + sampleSize > size) {
    filled = uint64_t(filled) + sampleSize > UINT32_MAX ? UINT32_MAX : filled + sampleSize;
    return 0;
  }
  if (!IsAtDirectReadEnd(offset) && SetFileIndex(offset) != 0) return 1;
  const bool jump = !inWindow && !ahead;
  // Read-ahead starts small after a jump and doubles while reading goes on.
  m_dwReadAhead = jump ? kDirectReadSize : std::min(m_dwBufferSize, std::max(m_dwReadAhead, kDirectReadSize));
  unsigned int left = sampleSize;
  while (left > 0) {
    if (m_dwAvailableBytes == 0 && (jump || left >= kDirectReadSize)) {
      unsigned int read = 0;
      if (ReadBeyondWindow(buffer + filled, left, read) != 0) break;
      filled += read;
      left -= read;
      continue;
    }
    if (m_dwAvailableBytes == 0) {
      if (LoadData(m_dwReadAhead) != 0 || m_dwAvailableBytes == 0) break;
      m_dwReadAhead = m_dwReadAhead > m_dwBufferSize / 2 ? m_dwBufferSize : m_dwReadAhead * 2;
    }
    const unsigned int chunk = std::min(left, m_dwAvailableBytes);
    std::memcpy(buffer + filled, m_pCurrent, chunk);
    SkipBytes(chunk);
    filled += chunk;
    left -= chunk;
  }
  if (left == 0) return 0;
  if (m_HandlerType == "soun" && filled > 0) {  // audio cut by the end of the file: pad with silence
    std::memset(buffer + filled, 0, left);
    filled += left;
    return 0;
  }
  return kEndOfData;
}

// Reads in place: the cursor steps through the group, and the group start
// is kept in a reusable saved cursor for the 101 answer.
int CQTDataReader::GetSyncData(unsigned char* buffer, unsigned int size, unsigned int* outSize) {
  if (!m_ActiveTrack) return kNoTrack;
  if (!m_Cursor || m_Cursor->IsOutOfBounds()) return -1;
  if (InitDecoder(buffer, size, outSize) == kBufferTooSmall) return kBufferTooSmall;
  SaveCursor(m_GroupStart);
  unsigned int filled = 0;
  // Each sample is asked for once: the one that ends a group is not read.
  QtSampleFacts sample = m_Cursor->GetSampleFacts();
  for (unsigned int count = 1;; ++count) {
    const int result = ReadChunkData(buffer, size, sample.offset, sample.size, filled);
    if (result != 0) {
      RestoreCursor(m_GroupStart);
      return result;
    }
    if (!StepWithinGroup(count, sample)) break;
  }
  if (outSize) *outSize = filled;
  if (filled > size) {
    RestoreCursor(m_GroupStart);
    return kBufferTooSmall;
  }
  m_bFirstRead = false;
  return 0;
}

// Steps the cursor past the sample just read; true when the next one belongs
// to the same delivery. A next sample that cannot be had (a fragment that
// cannot be read) ends the delivery with what was read: the failure is
// reported by the next call, which starts there.
bool CQTDataReader::StepWithinGroup(unsigned int count, QtSampleFacts& sample) {
  try {
    m_Cursor->Next();
    if (!m_bSyncSearch || count >= kMaxDeliverySamples || m_Cursor->IsAfterLastIndex()) return false;
    sample = m_Cursor->GetSampleFacts();
    return !sample.syncOrPartialSync;
  } catch (const std::exception& e) {
    LogContained("the sample after a delivery", e.what());
    return false;
  }
}

int CQTDataReader::GetNextData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) {
  return Contained("GetNextData", [&] { return ReadNext(data, size, dataSize, time); });
}

// A cursor before the first sample (after SkipPrevData there) reads the
// first. The cursor moves in place; a failure puts it back where the call
// found it (the containment's saved cursor).
int CQTDataReader::ReadNext(unsigned char* data, unsigned int size, unsigned int* dataSize, double* time) {
  UpdateFragments();
  if (!m_ActiveTrack) return kNoTrack;
  // A file opened before its first fragment was written has no cursor: its
  // first sample may have arrived since.
  if (!m_Cursor) {
    m_Cursor = m_ActiveTrack->FindFirstSample();
    SaveCursor(m_CallStart);
  }
  if (!m_Cursor || m_Cursor->IsAfterLastIndex()) return kEndOfData;
  if (!data) return kNoBuffer;
  if (m_Cursor->IsBeforeFirstIndex()) m_Cursor->Next();
  if (m_bSyncSearch) m_Cursor->SeekSyncForward();
  if (m_Cursor->IsOutOfBounds()) return Undo(kEndOfData);
  m_dCurrentTime = m_Cursor->GetSampleTimeStamp().start.GetTimeStamp();
  const int result = GetSyncData(data, size, dataSize);
  if (result != 0) return Undo(result);
  if (time) *time = m_dCurrentTime - PrimingSeconds();
  return 0;
}

// The reader's cursor object stays, and with it the inner cursors it keeps
// for crossing between a movie header and fragments.
void CQTDataReader::TakeCursor(std::shared_ptr<IQtSampleIndex> cursor) {
  if (!cursor || !m_Cursor || !m_Cursor->AssignFrom(*cursor)) m_Cursor = std::move(cursor);
}

int CQTDataReader::Undo(int result) {
  RestoreCursor(m_CallStart);
  return result;
}

int CQTDataReader::GetPrevData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) {
  return Contained("GetPrevData", [&] { return ReadPrev(data, size, dataSize, time); });
}

// In place like ReadNext; the cursor ends at the start of the delivered group.
int CQTDataReader::ReadPrev(unsigned char* data, unsigned int size, unsigned int* dataSize, double* time) {
  if (!m_ActiveTrack) return kNoTrack;
  if (!m_Cursor || m_Cursor->IsBeforeFirstIndex()) return kEndOfData;
  if (!data) return m_Cursor->IsFirstIndex() ? kEndOfData : kNoBuffer;
  m_Cursor->Prev();
  m_Cursor->SeekSyncBackward();
  if (m_Cursor->IsOutOfBounds()) return Undo(kEndOfData);
  const QtSampleFacts sample = m_Cursor->GetSampleFacts();
  m_dCurrentTime = m_Cursor->GetSampleTimeStamp().start.GetTimeStamp();
  if (NeedsWindowBehind(sample) && SetFileIndexBack(sample.offset, BytesOfGroup(sample.size)) != 0) return Undo(1);
  const int result = GetSyncData(data, size, dataSize);
  if (result != 0) return Undo(result);
  RestoreCursor(m_GroupStart);
  if (time) *time = m_dCurrentTime - PrimingSeconds();
  return 0;
}

// Reading backwards, the window is loaded to end with the group, so that it
// serves the groups before it as well. Not when it holds the group already
// (the group's size need not be walked then), nor for a large sample: that
// goes straight into the caller's buffer as forwards, one copy instead of two.
bool CQTDataReader::NeedsWindowBehind(const QtSampleFacts& sample) const {
  return !InWindow(sample.offset) && sample.size < kDirectReadSize;
}

// The bytes the delivery at the cursor is about to read, as far as the
// window can keep them: they tell SetFileIndexBack how much to load after
// them. The cursor walks the group and is put back.
unsigned int CQTDataReader::BytesOfGroup(unsigned int firstSize) {
  uint64_t total = firstSize;
  if (m_bSyncSearch && total < m_dwBufferSize) {
    SaveCursor(m_GroupStart);
    for (unsigned int count = 1; total < m_dwBufferSize && count < kMaxDeliverySamples; ++count) {
      m_Cursor->Next();
      if (m_Cursor->IsAfterLastIndex()) break;
      const QtSampleFacts sample = m_Cursor->GetSampleFacts();
      if (sample.syncOrPartialSync) break;
      total += sample.size;
    }
    RestoreCursor(m_GroupStart);
  }
  return total > UINT32_MAX ? UINT32_MAX : static_cast<unsigned int>(total);
}

int CQTDataReader::SkipNextData() {
  return Contained("SkipNextData", [&] { return StepNext(); });
}

int CQTDataReader::StepNext() {
  if (!m_ActiveTrack) return kNoTrack;
  if (!m_Cursor || m_Cursor->IsAfterLastIndex()) return kEndOfData;
  m_Cursor->Next();
  return m_Cursor->IsAfterLastIndex() ? kEndOfData : 0;
}

int CQTDataReader::SkipPrevData() {
  return Contained("SkipPrevData", [&] { return StepPrev(); });
}

int CQTDataReader::StepPrev() {
  if (!m_ActiveTrack) return kNoTrack;
  if (!m_Cursor || m_Cursor->IsBeforeFirstIndex()) return kEndOfData;
  m_Cursor->Prev();
  return m_Cursor->IsBeforeFirstIndex() ? kEndOfData : 0;
}

int CQTDataReader::GoToNextSyncData() {
  if (!m_ActiveTrack) return kNoTrack;
  if (!m_Cursor) return 2;
  m_Cursor->SeekSyncForward();
  return m_Cursor->IsOutOfBounds() ? 2 : 0;
}

int CQTDataReader::GoToTimeOffset(double& seconds) {
  double t = seconds;
  const int result = Contained("GoToTimeOffset", [&] { return GoToTime(t); });
  if (result == 0) seconds = t;
  return result;
}

int CQTDataReader::GoToTime(double& seconds) {
  if (!m_ActiveTrack) return kNoTrack;
  const double duration = GetActiveTrackContentDuration();
  if (seconds + 0.000001 >= duration) {
    GoToEnd();
    seconds = duration;
    return 0;
  }
  if (seconds < 0 || std::isnan(seconds)) seconds = 0;
  auto cursor = m_ActiveTrack->FindTimeOffsetSample(seconds);
  if (!cursor || cursor->IsOutOfBounds()) return kEndOfData;
  const QtSampleFacts sample = cursor->GetSampleFacts();
  const bool fullSync = sample.syncOrPartialSync && !sample.partialSync;
  m_dCurrentTime =
      (fullSync ? cursor->GetSampleReferenceTimeStamp() : cursor->GetSampleTimeStamp()).start.GetTimeStamp();
  TakeCursor(std::move(cursor));
  seconds = m_dCurrentTime;
  return 0;
}

int CQTDataReader::GoToFieldOffset(unsigned int field, unsigned int* reached) {
  double t = field * m_dFieldDuration;
  const int result = Contained("GoToFieldOffset", [&] {
    UpdateFragments();
    return GoToTime(t);
  });
  if (reached && m_dFieldDuration != 0) {
    // Long-GOP material lands on a sync sample that decodes before time 0:
    // its negative field count goes out in two's complement. Converting a
    // negative double straight to unsigned is undefined, so go through int64.
    const double fields = std::max(-1e18, std::min(1e18, t / m_dFieldDuration + (t < 0 ? -0.01 : 0.01)));
    *reached = static_cast<unsigned int>(static_cast<int64_t>(fields));
  }
  return result;
}

int CQTDataReader::GoToDataStart() {
  return Contained("GoToDataStart", [&] {
    double t = -GetAudioPrimingDuration().GetTimeStamp();
    return GoToTime(t);
  });
}

int CQTDataReader::GoToDataEnd() {
  return Contained("GoToDataEnd", [&] { return GoToEnd(); });
}

int CQTDataReader::GoToEnd() {
  UpdateFragments();
  if (!m_ActiveTrack) return kNoTrack;
  if (m_bGrowingReference) {
    const unsigned long size = GetActiveTrackFileSize();
    UpdateReferenceDuration(size);
    TakeCursor(m_ActiveTrack->FindLastReferenceSample(size));
  } else {
    TakeCursor(m_ActiveTrack->FindLastSampleExcluded());
  }
  return 0;
}

qel::MediaTime CQTDataReader::GetAudioPrimingDuration() {
  if (!IsMpeg4AudioTrack()) return COXLDataReader::GetAudioPrimingDuration();
  return qel::MediaTime(qel::EditRate(m_ActiveTrack->GetMediaTimescale(), 1), kAacPriming);
}

int CQTDataReader::GetSampleInfos(unsigned int*, unsigned int* second, unsigned char* flag) {
  if (flag) *flag = 0;
  return Contained("GetSampleInfos", [&] {
    if (!second || !m_ActiveTrack) return 0;
    auto first = m_ActiveTrack->FindFirstSample();
    if (first && !first->IsOutOfBounds()) *second = first->GetSample()->GetSampleSize();
    return 0;
  });
}

int CQTDataReader::GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) {
  return Contained("GetInOut", [&] { return InOut(in, out, videoSystem); });
}

int CQTDataReader::InOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) {
  const bool video = HasVideoTrack();
  if (in)
    *in = video ? m_dwStartTc : RoundToCount(m_dwStartTc * m_dFieldDuration * 1000);
  if (m_bGrowingReference) UpdateReferenceDuration();
  UpdateFragments();
  if (out) {
    const double content = GetActiveTrackContentDuration();
    if (!m_bGrowingReference) {
      *out = video ? RoundToCount(content / m_dFieldDuration + m_dwStartTc)
                   : RoundToCount(content * 1000 + m_dwStartTc * m_dFieldDuration * 1000);
    } else {
      auto last = m_ActiveTrack ? m_ActiveTrack->FindLastReferenceSample(GetActiveTrackFileSize()) : nullptr;
      const double t = last && !last->IsOutOfBounds() ? last->GetSample()->GetTimeStamp().start.GetTimeStamp() : 0.0;
      // Without video the out point is in milliseconds, like the in point.
      *out = video ? m_dwStartTc + static_cast<unsigned int>(sec2TC(t, m_VideoSystem).GetFields())
                   : RoundToCount(t * 1000 + m_dwStartTc * m_dFieldDuration * 1000);
    }
    if (video && !IsProgressive()) *out &= ~1u;
  }
  if (videoSystem) *videoSystem = video ? m_VideoSystem : 0xFFFFFFFF;
  return 0;
}

bool CQTDataReader::GetVideoInfo(OXLDataReader::VIDEO_INFO& info) {
  if (m_HandlerType != "vide" || !m_ActiveTrack) return false;
  return Contained("GetVideoInfo", [&] { return m_ActiveTrack->GetVideoInfo(info) ? 0 : 1; }) == 0;
}

bool CQTDataReader::IsProgressive() {
  OXLDataReader::VIDEO_INFO info{};
  GetVideoInfo(info);
  return info.Progressive;
}

int CQTDataReader::GetDataDescriptor(unsigned char*& descriptor) {
  std::string stsd;
  if (!m_ActiveTrack || !m_ActiveTrack->GetStsd(stsd)) return 0;
  descriptor = new unsigned char[stsd.size()];
  std::memcpy(descriptor, stsd.data(), stsd.size());
  return static_cast<int>(stsd.size());
}

int CQTDataReader::GetDataStreams(int* streams, int count) {
  if (m_HandlerType != "soun") return 1;
  uint32_t channels = 0;
  qel::audio_codec codec;
  if (!streams) return m_ActiveTrack && m_ActiveTrack->GetAudioInfo(channels, codec) ? static_cast<int>(channels) : 0;
  int found = 0;
  for (const auto& track : m_Tracks) {
    if (found >= count) break;
    if (track->IsTrackType("soun") && track->GetAudioInfo(channels, codec)) streams[found++] = static_cast<int>(channels);
  }
  return found;
}

int CQTDataReader::GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>& infos) {
  if (m_HandlerType != "soun") return 0;
  infos.assign(m_Tracks.size(), MediaTool::AudioStream<const char*>{0, 0, 0, 1000, ""});
  size_t filled = 0;
  int total = 0;
  for (const auto& track : m_Tracks) {
    uint32_t channels = 0;
    qel::audio_codec codec = qel::audio_codec_unknown;
    if (!track->IsTrackType("soun") || !track->GetAudioInfo(channels, codec)) continue;
    infos[filled] = {track->GetMediaTimescale(), 0, channels, static_cast<uint32_t>(codec), ""};
    ++filled;
    total += static_cast<int>(channels);
  }
  infos.resize(filled);
  return total;
}

int CQTDataReader::SelectDataStream(int stream) {
  return Contained("SelectDataStream", [&] {
    int index = 0;
    for (const auto& track : m_Tracks) {
      if (track->GetTrackType() != m_HandlerType) continue;
      if (index++ != stream) continue;
      if (track == m_ActiveTrack) return 0;
      return SwitchToMediaTrack(track) ? 0 : 1;
    }
    return 1;
  });
}
