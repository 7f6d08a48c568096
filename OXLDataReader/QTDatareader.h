#pragma once
// CQTDataReader: the data reader for QuickTime and MP4 movies.
//
// It finds and reads the movie atom, builds one media track per "trak",
// derives the video system and the start timecode, selects the track that
// matches the data type it was made for ("vide" for 1, "soun" for 3), and
// delivers that track's samples forwards or backwards, or from a time,
// through the track's sample cursor.
//
// Result codes beside the base ones: 100 end of data or no such sample,
// 101 buffer too small (the required size is reported), 102 no buffer,
// 104 no active track; from Initialize: 2 no movie atom, 3 movie atom
// unreadable, 5 fragment atoms unreadable, 6 fragment informer failed,
// -4 no track, -5 no track of the reader's type.
//
// For long-GOP video (neither intra nor HDV) one delivery is a sync sample
// and the samples that follow it up to the next sync sample.
//
// Failures are contained: the raw reading and positioning operations
// (GetNextData, GetPrevData, SkipNextData, SkipPrevData, GoToFieldOffset,
// GoToTimeOffset, GoToDataStart, GoToDataEnd, GetInOut, GetSampleInfos,
// SelectDataStream) let no exception out. What the tables or the file throw
// at them (a sample the tables do not describe, a damaged description) is
// logged at error level with the file name and answered with 100, "no such
// sample"; the position stays where it was before the call. Without a file
// reader (after Close or UseFileReader(nullptr)) reading answers 1, the
// base's failed SetFileIndex.
//
// A track's samples are those every one of its tables describes, and sync
// samples are found by searching the sync table, so that no call costs more
// than the file's real tables, whatever counts a damaged file claims. One
// long-GOP delivery holds at most kMaxDeliverySamples samples (over a minute
// at 60 frames/s, beyond any real group); the rest of a longer group (only a
// damaged file has one) is passed over. A group too large for the caller's
// buffer is only measured, without touching the file.
//
// Positioning lands on a sync sample and reports its decode time; for
// long-GOP material with reordered frames the first one decodes before 0,
// so GoToTimeOffset may answer a negative time and GoToFieldOffset then
// reports a negative field count as a 32-bit two's complement value.
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLDataReader/OXL_QuickTime/QTMediaTrack.h"
#include "OXLFileAccess/LockableOxlFileReader.h"
#include "OxlTbx/VideoSystem.h"
#include "qelCore/Parameters.h"

class CQTDataReader : public CQTAtomStreamReader {
 public:
  // Processor-time stopwatch that paces fragment discovery.
  class Timer {
   public:
    Timer() : m_Start(std::clock()) {}
    bool IsTimeElapsed(double seconds) const { return double(std::clock() - m_Start) / 1000000.0 > seconds; }
    void Restart() { m_Start = std::clock(); }

   private:
    std::clock_t m_Start;
  };

  // Where a movie fragment starts: its first sample's time and its "moof" offset.
  struct MoofInfo {
    qel::MediaTime time;
    uint64_t offset = 0;
  };

  // Told by a host that knows the fragments of a growing file.
  class IFragmentIndexInformer {
   public:
    virtual ~IFragmentIndexInformer() = default;
    virtual bool HasNextFragment() = 0;
    virtual MoofInfo GetNextFragment() = 0;
  };

  CQTDataReader(OXLDataReader::DataType type, std::string name);
  ~CQTDataReader() override;

  int GetDataStreams(int* streams, int count) override;
  int GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>& infos) override;
  int SelectDataStream(int stream) override;
  // A new[] copy of the active track's "stsd" atom (the caller delete[]s it);
  // the result is its size, 0 without a description.
  int GetDataDescriptor(unsigned char*& descriptor) override;
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override;
  int GetNextData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) override;
  // After a backward read the position is the start of the delivered sample
  // (or group): the next GetPrevData delivers the one before it, GetNextData
  // this one again. Stepping back one sample at a time from the position
  // before each search would find the same sync sample again and deliver the
  // same group forever.
  int GetPrevData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) override;
  int SkipNextData() override;
  int SkipPrevData() override;
  int GoToFieldOffset(unsigned int field, unsigned int* reached) override;
  int GoToTimeOffset(double& seconds) override;
  // In and out points that do not fit 32 bits (only a damaged movie's
  // durations do) saturate at 0xFFFFFFFF.
  int GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) override;
  qel::MediaTime GetAudioPrimingDuration() override;
  int GetSampleInfos(unsigned int* first, unsigned int* second, unsigned char* flag) override;
  int GoToDataStart() override;
  int GoToDataEnd() override;

  virtual bool SetActiveTrack(std::shared_ptr<CQTMediaTrack> track);
  virtual bool IsProgressive();

  // Track queries.
  static const unsigned int kMaxDeliverySamples = 1u << 12;

  int GetTrackCnt(OXLDataReader::DataType type) const;
  std::shared_ptr<CQTMediaTrack> GetMediaTrack(uint32_t trackId) const;
  const std::vector<std::shared_ptr<CQTMediaTrack>>& GetMediaTracks() const { return m_Tracks; }
  const std::shared_ptr<CQTMediaTrack>& GetActiveTrack() const { return m_ActiveTrack; }
  bool IsReferenceTrack(OXLDataReader::DataType type, int index, std::wstring& name) const;
  bool IsReferenceTrack(OXLDataReader::DataType type, int index, std::string& name) const;
  bool DoesTracksContainFragments() const;
  OXLDataReader::VideoDataType GetVideoCodec() const;
  double GetActiveTrackDuration();
  double GetActiveTrackContentDuration();
  unsigned long GetActiveTrackFileSize();

  // What the movie said.
  unsigned int GetStartTimecode() const { return m_dwStartTc; }
  OxlTbx::VideoSystem GetVideoSystem() const { return m_VideoSystem; }
  const qel::EditRate& GetSystemEditRate() const { return m_SystemEditRate; }
  double GetFieldDuration() const { return m_dFieldDuration; }
  uint32_t GetMovieTimescale() const { return m_dwMovieTimescale; }
  uint64_t GetMovieDuration() const { return m_qwMovieDuration; }
  uint32_t GetMovieCreationTime() const { return m_dwCreationTime; }
  double GetCurrentTime() const { return m_dCurrentTime; }
  // A fresh cursor on the sample at the reader's position (empty without a track).
  std::shared_ptr<IQtSampleIndex> GetCurrentSampleIndex() const;

  // Fragments: switches off discovery when a host tells the fragments itself.
  void SetExternalIndexInformer(std::shared_ptr<IFragmentIndexInformer> informer);
  void DisableFragmentAutoDiscover() { m_bAutoDiscover = false; }
  bool UpdateReferenceDuration();
  bool UpdateReferenceDuration(unsigned long fileSize);
  // A fragment of the movie's only track, at `info`'s "moof" offset; fails
  // ("Avaiable only for mono track files") for a movie of several tracks.
  // Switches the top-level scan off.
  void AppendReferenceFragment(const MoofInfo& info);
  // The reader the fragments of the file are read through, made on first use.
  std::shared_ptr<LockableOxlFileReader> GetIndexLockableFileReader();
  const std::string& GetResumePositionText() const { return m_ResumePositionText; }

 protected:
  int Initialize(bool openReference) override;
  virtual int InitDecoder(unsigned char* buffer, unsigned int size, unsigned int* outSize);
  virtual int GetSyncData(unsigned char* buffer, unsigned int size, unsigned int* outSize);

  // Everything of Initialize after the movie atom was read.
  int InitializeTracks(bool openReference);
  bool ReadMoovAtom();
  int ReadMovieTrack(uint32_t size);
  void ReadInfoFromVideoTrack();
  bool ReadTCTrack();
  bool SelectMediaTrack(const std::string& type);
  bool SwitchToMediaTrack(const std::shared_ptr<CQTMediaTrack>& track);
  int ReadChunkData(unsigned char* buffer, unsigned int size, unsigned long offset, unsigned int sampleSize,
                    unsigned int& filled);
  int GoToNextSyncData();
  unsigned int BytesOfGroup(unsigned int firstSize);
  bool NeedsWindowBehind(const QtSampleFacts& sample) const;
  bool StepWithinGroup(unsigned int count, QtSampleFacts& sample);
  int OpenReferencedFile(const std::shared_ptr<CQTMediaTrack>& track);
  std::wstring ReferencedPath(const std::shared_ptr<CQTMediaTrack>& track) const;
  bool HasVideoTrack() const;
  bool IsMpeg4AudioTrack() const;
  double PrimingSeconds() const;

  // Movie fragments and growing files. For movies without fragments these
  // find nothing and succeed.
  enum class MoofRead { Done, Incomplete, Failed };
  bool ReadMovieExtends(uint32_t size);
  void LookUpForMovieFragmentRandomAccessTable();
  // The "mfra" size that "mfro" gives, and the fragments of its "tfra"
  // tables; failures raise qel::QELRuntimeError.
  uint32_t ReadMfraOffset(unsigned long fileSize);
  void ParseMfra(unsigned long fileSize, uint32_t mfraSize);
  void ParseTfra();
  bool ReadFragmentsAtoms();
  MoofRead ParseMoofAtom();
  void ReadTrackFragment(const unsigned char* traf, uint32_t size, uint64_t moofOffset);
  void AppendFragment(CQTMediaTrack& track, uint64_t moofOffset, qel::MediaTime start);
  bool ReadFromFragmentsInformer();
  void UpdateFragments();
  void UpdateFragmentsForWholeTracks() { UpdateFragments(); }

  // The raw operations without containment; the public ones wrap them.
  int ReadNext(unsigned char* data, unsigned int size, unsigned int* dataSize, double* time);
  int ReadPrev(unsigned char* data, unsigned int size, unsigned int* dataSize, double* time);
  int StepNext();
  int StepPrev();
  int GoToTime(double& seconds);
  int GoToEnd();
  int InOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem);
  // Runs `operation`; an exception is logged, the cursor put back, and 100 answered.
  template <typename Operation>
  int Contained(const char* name, Operation&& operation);
  void LogContained(const char* name, const char* what) const;

  // A position kept between calls. Saving and restoring move cursors in
  // place (IQtSampleIndex::AssignFrom), so that a delivery allocates
  // nothing once the saved cursors exist.
  struct SavedCursor {
    std::shared_ptr<IQtSampleIndex> cursor;
    bool empty = true;  // saved from no cursor
  };
  void SaveCursor(SavedCursor& slot) const;
  void RestoreCursor(const SavedCursor& slot);
  // Puts the cursor back where the running public call found it; answers `result`.
  int Undo(int result);
  // Moves the reader's cursor where `cursor` is (in place when it can).
  void TakeCursor(std::shared_ptr<IQtSampleIndex> cursor);

  std::string m_HandlerType;
  uint32_t m_dwCreationTime = 0;
  uint32_t m_dwMovieTimescale = 0;
  uint64_t m_qwMovieDuration = 0;
  unsigned int m_dwStartTc = 0;
  OxlTbx::VideoSystem m_VideoSystem = OxlTbx::VS_PAL;
  qel::EditRate m_SystemEditRate{25, 1};
  double m_dFieldDuration = 0.02;
  bool m_bFirstRead = false;
  double m_dCurrentTime = 0.0;
  std::shared_ptr<IQtSampleIndex> m_Cursor;
  SavedCursor m_CallStart;   // the position when the outermost contained call began
  SavedCursor m_GroupStart;  // the start of the delivery being read
  int m_iContainedDepth = 0;
  bool m_bSyncSearch = false;
  std::vector<std::shared_ptr<CQTMediaTrack>> m_Tracks;
  std::shared_ptr<CQTMediaTrack> m_ActiveTrack;
  std::wstring m_Path;
  bool m_bGrowingReference = false;
  unsigned int m_dwReadAhead = 0;          // bytes the next window load may read
  Timer m_FragmentTimer;
  bool m_bAutoDiscover = true;
  qel::Parameter<unsigned long, qel::NoValidator<unsigned long>> m_ResumePosition;
  std::shared_ptr<IFragmentIndexInformer> m_Informer;
  std::string m_ResumePositionText;
  std::shared_ptr<LockableOxlFileReader> m_IndexFileReader;
};
