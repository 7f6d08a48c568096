#pragma once
// OXLMediaIdentifier: which container and which video codec family a file
// is. The file's first 64 KiB are read once and handed, with the open file,
// to the testers in turn: those that claim the file's extension first, then
// by priority (QuickTime before MXF, unless the extension is "mxf" in any
// case). The first tester that recognises the file wins and stays, so that
// the reader it opened can be reused (GetContextReader).
//
// Codes: 0 found; 2 no tester recognised the file; 3 no file reader could
// be made (or a tester's analysis failed); 10 the first bytes could not be
// read.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/MediaTester.h"

struct _TesterSpec {
  uint32_t kind;
  const wchar_t* extensions[3];
  int32_t priority;
};

class OXLMediaIdentifier {
 public:
  // With `noExtension` the file's name counts as having no extension.
  explicit OXLMediaIdentifier(bool noExtension = false);
  virtual ~OXLMediaIdentifier();
  OXLMediaIdentifier(const OXLMediaIdentifier&) = delete;
  OXLMediaIdentifier& operator=(const OXLMediaIdentifier&) = delete;

  // Puts the tester of `kind` first among equals; call before SetFilePath.
  void SetPreferredTester(_tester_type kind);
  int SetFilePath(const wchar_t* path);
  int SetFilePath(const char* utf8Path);
  int GetFileFormat(qel::FileType& fileType, OXLDataReader::VideoDataType& videoType);
  std::shared_ptr<IContextReader> GetContextReader() const;

 protected:
  virtual void GetNextTester();
  int AssignFileReaderIfNeeded();
  int FindCorrespondingTester();
  void SortTesterByExtension();
  MediaTester* CurrentTester() const { return m_Current.get(); }

 private:
  std::vector<_TesterSpec> m_Testers;
  std::unique_ptr<MediaTester> m_Current;
  std::unique_ptr<COXLFileReader> m_File;
  std::wstring m_Path;
  std::shared_ptr<qel::IBuffer> m_Buffer;
  bool m_bNoExtension;
};

// "<?xml " at the start, after an optional UTF-8 byte-order mark.
bool IsXML(const char* text);
// The MXF header-partition key prefix somewhere in the first size - 14 bytes.
bool IsMXF(unsigned char* buffer, unsigned int size);
// The marker 80 01 .. .. "OXL Qbixo" somewhere in the buffer.
bool IsOXLMXF(unsigned char* buffer, unsigned int size);
