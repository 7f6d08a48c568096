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
    while (!IsOutOfBounds() && !GetSample()->IsSyncOrPartialSync()) Next();
  }
  virtual void SeekSyncBackward() {
    if (IsAfterLastIndex()) Prev();
    while (!IsOutOfBounds() && !GetSample()->IsSyncOrPartialSync()) Prev();
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
};
