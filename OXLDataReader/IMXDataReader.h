#pragma once
// CIMXDataReader: the MXF reader for essence stored as constant-size edit
// units (IMX/D-10, and MXF-wrapped AVC-Intra or DV whose frames all have one
// size). It adds to the MXF reader the essence start, the size of one edit
// unit and a duration that follows a file still being written.
//
// The essence is taken as one contiguous run of edit units from the first
// essence range on: edit unit n starts at essence start + n x edit-unit size.
//
// A file is growing when the duration its metadata declares is not the
// number of whole edit units the file holds. Its duration is then
// recomputed from the file size whenever the reader needs it, and the end of
// the growth is recognised when a partition pack (the footer) stands where
// the next edit unit would start.
//
// Initialize results: those of the MXF reader; 100 no essence range (no
// partition names a body); 123 the end of the file was
// reached while measuring the edit unit; 110 an edit-unit size above 64 MiB
// (the index table or the essence is damaged).
#include <cstdint>
#include <string>

#include "OXLDataReader/MXFDataReader.h"

class CIMXDataReader : public CMXFDataReader {
 public:
  // Edit units larger than this are taken for damaged sizes.
  static constexpr unsigned int kMaxEditUnitBytes = 64u << 20;

  CIMXDataReader(std::string context, OXLDataReader::DataType type);

  // Moves to the frame boundary nearest `seconds` (negative counts as 0) and
  // reports the time reached in `seconds`; then GoToFieldOffset.
  int GoToTimeOffset(double& seconds) override;
  // As the MXF reader, with the duration recomputed first for a growing file.
  int GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) override;
  int GoToDataStart() override;
  int GoToDataEnd() override;
  // Constant-size edit units: the index table's byte count is the one to use.
  bool UseNewIndexMecanism() override { return true; }
  // Whole edit units between the essence start and the essence end.
  virtual int64_t ComputeDuration();

  uint64_t GetEssenceStart() const { return m_qwEssenceStart; }
  bool IsGrowing() const { return m_bGrowing; }

 protected:
  int Initialize(bool flag) override;

  // --- Services for the frame reader ---
  // End of the current essence range (file offset).
  uint64_t GetClipEnd() const;
  void SetClipEnd(uint64_t end);
  // For a growing file at the end of what it held: recomputes the duration
  // and the clip end, and recognises the footer once it is written.
  void FollowGrowth();
  // At least one edit unit buffered at the cursor, loading (and, when a
  // plain load cannot, seeking to the cursor and loading) as needed; false
  // when the file holds less. `justOne` loads no more than that edit unit.
  bool BufferEditUnit(bool justOne = false);
  // Empties the window and loads it from `offset` (a real seek, which also
  // lets a file that has grown be read on). The result of SetFileIndex or
  // LoadData.
  int ReloadAt(uint64_t offset);
  // Appends `count` bytes that continue the file right after the loaded data
  // to the window, moving the bytes left at the cursor to its start first.
  // False, with nothing changed, when they do not fit.
  bool AppendToWindow(const unsigned char* bytes, unsigned int count);
  // The picture element of the edit unit at `unit` (one whole edit unit):
  // 0 with its value and size; 111 no essence element key at
  // `pictureOffset`; 110 a length that cannot be read or does not fit in the
  // edit unit.
  int LocatePicture(const unsigned char* unit, unsigned int pictureOffset, const unsigned char*& picture,
                    unsigned int& size) const;
  // Seconds of the edit unit starting at `offset`.
  double TimeOf(uint64_t offset) const;

  // Called before the reader touches the file reader outside its reads
  // (file size, keys beyond the window, moves): a reader that reads ahead on
  // another thread stops and drops that read here.
  virtual void StopReadAhead() {}

  uint64_t m_qwEssenceStart = 6144;
  bool m_bGrowing = false;

 private:
  void EnsureDataClip();
  int MeasureEditUnit();
  unsigned int EditUnitFromIndexEntries() const;
  uint64_t EssenceEnd();
  // True when a partition pack key stands at `offset` (read straight from
  // the file; the file reader is put back at the end of the loaded data).
  bool PartitionPackAt(uint64_t offset);
  // The 16 bytes at `offset`, read past the window.
  bool ReadRawKey(uint64_t offset, unsigned char* key);
  // True when edit unit `unit` starts with the key the essence starts with.
  bool EssenceAt(int64_t unit);

  unsigned char m_EssenceKey[16] = {};
  bool m_bEssenceKeyKnown = false;
};
