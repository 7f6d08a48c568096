#pragma once
// CIMXVideoReader: the frames of an MXF file with constant-size edit units,
// one picture per edit unit, forwards and backwards, by field or time, with
// read-ahead on a background thread (CVideoPreloader) while reading forwards,
// also while the file is still being written.
//
// Reading frames:
//   CIMXVideoReader reader("context");
//   reader.Open(path, false);                  // 0 when the file can be read
//   reader.GetNextData(data, capacity, &size, &seconds);  // next frame
//   reader.GetPrevData(data, capacity, &size, &seconds);  // previous frame
//   reader.GoToTimeOffset(seconds) / GoToFieldOffset(field, nullptr)
// With `data` null, GetNextData and GetPrevData leave `data` pointing at the
// picture inside the reader's window, valid until the next call.
//
// Result codes: 0 success; 1 a move beyond the duration of a file that does
// not grow, or an I/O failure; 100 no more data (after the last edit unit,
// or before the first when reading backwards); 101 the caller's buffer is
// smaller than the picture; 110 the picture's length cannot be read or
// passes the end of its edit unit; 111 no essence element key at the
// picture element's offset; -1 no file, a failed picture-descriptor decode,
// or a call this reader does not support. 101, 110 and 111 leave the
// position on the edit unit concerned (GetNextData does not advance), so a
// caller may step over it with SkipNextData.
//
// Read-ahead: while frames are read forwards, the stretch of the file after
// the reader's window is read by the preloader thread; every move, backward
// read, size query or close first waits for that read and drops it.
// SetReadAhead(false) before Open reads everything on the caller's thread.
#include <cstdint>
#include <string>
#include <vector>

#include "OXLDataReader/IMXDataReader.h"
#include "OXLDataReader/VideoPreloader.h"

class CIMXVideoReader : public CIMXDataReader, private CVideoPreloader {
 public:
  explicit CIMXVideoReader(std::string context);
  ~CIMXVideoReader() override;

  int Close() override;
  // Stops the read-ahead first: the file reader is the caller's to move.
  int SetFileIndex(unsigned long offset) override;
  // Stops the read-ahead before the file reader changes hands.
  int UseFileReader(COXLFileReader* fileReader) override;
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override;
  int GetNextData(unsigned char*& data, unsigned int capacity, unsigned int* size, double* time) override;
  int GetPrevData(unsigned char*& data, unsigned int capacity, unsigned int* size, double* time) override;
  int SkipNextData() override;
  int SkipPrevData() override;
  // Field numbers count from the first edit unit; `reached`, when given,
  // receives the field of the frame moved to.
  int GoToFieldOffset(unsigned int field, unsigned int* reached) override;
  // Field rate rounded, edit-unit size, aspect ratio (2 for 4:3, 3 for 16:9,
  // 0 when the descriptor gives none; other ratios leave it unchanged).
  int GetSampleInfos(unsigned int* fieldRate, unsigned int* editBytes, unsigned char* aspect) override;
  int GoToDataStart() override;
  int GoToDataEnd() override;
  int FoundCDCIDescriptor(unsigned char* value, unsigned int size) override;

  // Index table lookups over the partitions' index segments.
  // The segment holding `editUnit` for `bodySID`; null when none does.
  virtual const Oxl_Mxf::IndexTableSegment* FindIndexTableSegment(unsigned int editUnit, unsigned int bodySID);
  // File offset of the edit unit by the index table, -1 without a segment.
  virtual int64_t GetEditUnitPositionFromIndexTable(unsigned int editUnit);
  // File offset of element `element` of the edit unit (its delta entry), -1
  // without a segment or such a delta entry.
  virtual int64_t GetEssencePositionFromIndexTable(unsigned int editUnit, unsigned int element);

  // Read-ahead on (the default) or off; takes effect at the next Open.
  void SetReadAhead(bool enabled) { m_bReadAhead = enabled; }
  // Offset of the picture element's key inside an edit unit.
  unsigned int GetPictureElementOffset() const { return m_dwPictureOffset; }

 protected:
  int Initialize(bool flag) override;
  void StopReadAhead() override;

 private:
  // The edit unit at the cursor, whole in the window; 100 at the end.
  int FindNextData();
  // Steps the cursor back one edit unit, whole in the window; 100 at the start.
  int FindPrevData();
  // The picture of the edit unit at the cursor into the caller's outputs.
  int DeliverPicture(unsigned char*& data, unsigned int capacity, unsigned int* size, double* time);
  bool FindPictureElement();
  // Loads the window forwards: the read-ahead when it continues the window,
  // else from the file; then asks for the next stretch.
  bool RefillForward();
  void RequestReadAhead();
  // Waits for a pending read-ahead; true when one has finished.
  bool SettleReadAhead();
  void StopPreloader();

  std::vector<unsigned char> m_DescriptorCopy;  // the last picture descriptor met
  unsigned int m_dwPictureOffset = 0;
  OXLDataReader::VIDEO_INFO m_Info{};
  bool m_bInfoKnown = false;
  bool m_bReadAhead = true;
  bool m_bPreloaderRunning = false;
  bool m_bReadAheadPending = false;  // a pass was requested and not yet taken or dropped
  uint64_t m_qwReadAheadOffset = 0;  // file offset of the pass's first byte
  bool m_bAfterJump = false;  // the cursor was moved outside the window: load small
};
