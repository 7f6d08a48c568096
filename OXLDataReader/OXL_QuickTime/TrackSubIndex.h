#pragma once
// The sample interfaces of a track index: one sample (IQtSample), a cursor
// over samples (IQtSampleIndex), and one piece of a track (ITrackSubIndex):
// the samples of a movie header, of one movie fragment, or of the fragments
// of a referenced file.
#include <cstdint>
#include <memory>
#include <string>

#include "qelCore/MediaTime.h"

class IQtSample {
 public:
  virtual ~IQtSample() = default;
  virtual bool IsSyncOrPartialSync() const = 0;
  virtual bool IsPartialSync() const = 0;
  // Presentation start and duration, in media units.
  virtual qel::TimeLimits GetTimeStamp() const = 0;
  // Decode start and duration, in media units.
  virtual qel::TimeLimits GetReferenceTimeStamp() const = 0;
  // Seconds.
  virtual double GetSampleDuration() const = 0;
  virtual unsigned int GetSampleSize() const = 0;
  // Absolute byte offset in the sample's file.
  virtual uint64_t GetSampleOffset() const = 0;
  // The file holding the sample; empty for the file being read.
  virtual std::wstring GetSampleFile() const = 0;
};

// What a delivery needs of one sample, answered by value.
struct QtSampleFacts {
  uint64_t offset = 0;  // absolute byte offset in the sample's file
  unsigned int size = 0;
  bool syncOrPartialSync = false;
  bool partialSync = false;
};

class IQtSampleIndex {
 public:
  virtual ~IQtSampleIndex() = default;
  virtual std::shared_ptr<IQtSample> GetSample() = 0;
  virtual void Next() = 0;
  virtual void Prev() = 0;
  virtual bool IsBeforeFirstIndex() = 0;
  virtual bool IsFirstIndex() = 0;
  virtual bool IsAfterLastIndex() = 0;
  virtual bool IsOutOfBounds() = 0;
  // An independent cursor at the same position.
  virtual std::shared_ptr<IQtSampleIndex> Copy() const = 0;
  // Moves to the nearest sample that is sync or partial sync, from the
  // cursor's own on: forwards, or after the last sample when there is none;
  // backwards, or before the first. Cursors over sync tables search them;
  // this default steps sample by sample.
  virtual void SeekSyncForward() {
    if (IsBeforeFirstIndex()) Next();
    while (!IsOutOfBounds() && !GetSampleFacts().syncOrPartialSync) Next();
  }
  virtual void SeekSyncBackward() {
    if (IsAfterLastIndex()) Prev();
    while (!IsOutOfBounds() && !GetSampleFacts().syncOrPartialSync) Prev();
  }

  // The per-frame path of a reader: the same answers as the sample object's,
  // by value. Cursors of this library answer them without allocating; these
  // defaults go through GetSample() for cursors made elsewhere.
  virtual QtSampleFacts GetSampleFacts() {
    const auto sample = GetSample();
    return {sample->GetSampleOffset(), sample->GetSampleSize(), sample->IsSyncOrPartialSync(),
            sample->IsPartialSync()};
  }
  virtual qel::TimeLimits GetSampleTimeStamp() { return GetSample()->GetTimeStamp(); }
  virtual qel::TimeLimits GetSampleReferenceTimeStamp() { return GetSample()->GetReferenceTimeStamp(); }
  // Puts this cursor where `other` is, in place; false (nothing changed) when
  // the two are not of the same kind, and the caller takes a Copy() instead.
  // Saving and restoring a reader's position this way costs no allocation.
  virtual bool AssignFrom(const IQtSampleIndex& other) {
    (void)other;
    return false;
  }
};

class ITrackSubIndex {
 public:
  virtual ~ITrackSubIndex() = default;
  // "moov" or "moof".
  virtual const char* GetSubIndexType() const = 0;
  virtual std::shared_ptr<IQtSampleIndex> GetFirstSampleIndex() = 0;
  // The sample presented at `seconds`, or empty when this piece does not hold that time.
  virtual std::shared_ptr<IQtSampleIndex> FindSampleIndex(double seconds) = 0;
  // The last sample whose data ends at or before byte `fileOffset` of its file.
  virtual std::shared_ptr<IQtSampleIndex> FindSampleIndex(unsigned long fileOffset) = 0;
  virtual std::shared_ptr<IQtSampleIndex> GetLastSampleIndex() = 0;
  virtual bool IsKnownTimestamp() const = 0;
  virtual void SetStartTimestamp(qel::MediaTime start) = 0;
  virtual qel::MediaTime GetStartTimestamp() const = 0;
  virtual qel::MediaTime GetDuration() const = 0;
  virtual qel::MediaTime GetMediaContentDuration() const = 0;
  // Base of a fragment's data offsets; 0 for a movie header.
  virtual uint64_t GetBaseDataOffset() const = 0;
  // Time subtracted from sample times so that presentation starts at zero.
  virtual qel::MediaTime GetTrackMediaTimeOffset() const = 0;
  // Puts `cursor`, a cursor of this sub-index or of one of its kind, on the
  // first or last sample of this sub-index in place; false (nothing changed)
  // when it is of another kind, and the caller asks for a new cursor. A
  // cursor walking from fragment to fragment thus allocates nothing.
  virtual bool MoveToFirstSample(IQtSampleIndex& cursor) {
    (void)cursor;
    return false;
  }
  virtual bool MoveToLastSample(IQtSampleIndex& cursor) {
    (void)cursor;
    return false;
  }
};
