#pragma once
// Testers of media identification: each tells whether a file is of its
// container family, from the file's first bytes (shared by every tester of
// one identification) and, where it must, the open file itself.
//
// A tester's analysis runs once; its code is remembered: 0 recognised, 2 not
// this family, 3 the analysis failed (logged). Results: the container type
// and the video codec family.
#include <cstdint>
#include <memory>
#include <string>

#include "OXLDataReader/DataReaderContextReader.h"
#include "OXLDataReader/MediaTypes.h"
#include "OXLFileAccess/OXLFileReader.h"
#include "qelCore/Buffer.h"
#include "qelCore/FileType.h"

enum _tester_type : uint32_t {
  QTTesterKind = 1,
  AAFTesterKind = 2,
  RiffTesterKind = 3,
  DVDIFTesterKind = 4,
  RawIMXTesterKind = 5,
  MPEGESTesterKind = 6,
  MPEGTesterKind = 7,
  MxfTesterKind = 8,
  OpenCubeTesterKind = 9,
  XMLTesterKind = 10,
  ProxyTesterKind = 11,
};

class MediaTester {
 public:
  virtual ~MediaTester() = default;
  virtual bool NeedFileReader() { return true; }
  // Runs the analysis on the first call; `found` tells whether it recognised the file.
  virtual int CorrespondToFile(bool& found);
  // The results, copied only when the file was recognised; answers the analysis code.
  int GetFileFormat(qel::FileType& fileType, OXLDataReader::VideoDataType& videoType);

  void SetFileReaderAndDataBuffer(COXLFileReader* file, std::shared_ptr<qel::IBuffer> buffer);
  void SetFilePath(const std::string& utf8Path);
  void SetFilePath(const std::wstring& path) { m_Path = path; }
  const std::shared_ptr<IContextReader>& GetContextReader() const { return m_ContextReader; }
  uint32_t GetAudioTrackCount() const { return m_dwAudioTracks; }

 protected:
  virtual int DoAnalyse() = 0;
  const unsigned char* Data() const { return m_Buffer ? m_Buffer->GetData() : nullptr; }
  size_t Size() const { return m_Buffer ? m_Buffer->GetSize() : 0; }
  // Logs `message` as the reason this tester failed and answers 3.
  int Failed(const std::string& message);

  COXLFileReader* m_pFile = nullptr;
  std::shared_ptr<qel::IBuffer> m_Buffer;
  std::wstring m_Path;
  qel::FileType m_FileType = qel::Unknown_File;
  OXLDataReader::VideoDataType m_VideoType = OXLDataReader::Unknown_Video;
  uint32_t m_dwAudioTracks = 0;
  bool m_bAnalysed = false;
  int m_iCode = 0;
  std::shared_ptr<IContextReader> m_ContextReader;
};

// QuickTime and MP4: a real reader opens the file and is kept as context.
class QTTester : public MediaTester {
 protected:
  int DoAnalyse() override;

 private:
  int AnalyseVideo(bool branded);
  bool IsReferenceMovie(const class CQTDataReader& reader) const;
};

// MXF: the header partition's operational pattern and essence-container labels.
class MxfTester : public MediaTester {
 protected:
  int DoAnalyse() override;
  // The pair a matching label gave, refined by the deep analysis of the
  // essence (MxfDeepAnalyser): AVC-Intra needs its first frame to tell
  // AVC-Intra from XAVC-Intra. `key` is the header partition key's offset in
  // the buffer, `labelOffset` the label's offset from it. Throws the
  // analysis' refusal of file types 11 and 29.
  virtual void RefineByEssence(size_t labelsLeft, size_t key, size_t labelOffset);

 private:
  // True when a row of the label table matched and set the results.
  bool ApplyLabel(const unsigned char* label, uint16_t pattern, size_t labelAt);
  bool HasAvidDnxDescriptor(size_t after) const;
};

// AAF: "AAF" at offset 8.
class AAFTester : public MediaTester {
 protected:
  int DoAnalyse() override;
};

// Raw IMX: the D-10 sequence header at the start and at every 286592 bytes.
class RawIMXTester : public MediaTester {
 protected:
  int DoAnalyse() override;
};

// Transport streams (188- or 204-byte packets) and program streams (MPEG-1 or MPEG-2 pack headers).
class MPEGTester : public MediaTester {
 protected:
  int DoAnalyse() override;
};

// Elementary streams: a video sequence header, an audio frame sync or an AC-3 sync word at the start.
class MPEGESTester : public MediaTester {
 protected:
  int DoAnalyse() override;
};

// Families this platform does not read: their analysis throws "Not implemented on Linux or Mac OS X".
class RefusingTester : public MediaTester {
 protected:
  int DoAnalyse() override;
};

// The tester of a kind; null for kinds outside 1 to 11.
std::unique_ptr<MediaTester> CreateMediaTester(uint32_t kind);
