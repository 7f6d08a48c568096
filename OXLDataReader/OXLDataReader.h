#pragma once
// COXLDataReader: the base class and interface of every data reader.
//
// Container readers override what they support; everything else answers with
// the defaults below, which callers take as "not supported". Result codes:
// 0 success, 1 an I/O step failed, -1 (0xFFFFFFFF) not supported or no file
// reader; container readers add their own positive codes.
//
// The base owns a buffered window over the file: the loaded bytes are the
// file bytes [m_qwBufferFileOffset, m_qwBufferFileOffset + m_dwBufferDataSize),
// m_pCurrent is the read cursor in it and m_dwAvailableBytes counts the
// loaded bytes from the cursor on.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/AudioStream.h"
#include "OXLDataReader/MediaTypes.h"
#include "OXLFileAccess/OXLFileReader.h"
#include "qelCore/EditRate.h"
#include "qelCore/MediaDescription.h"
#include "qelCore/MediaTime.h"
#include "qelCore/Parameters.h"
#include "qelCore/Recycler.h"
#include "qelCore/Sample.h"

namespace OXLDataReader {

struct VIDEO_INFO {
  VideoDataType VideoType;
  VideoResolution Resolution;
  uint8_t AspectRatio;  // 0 not given, 2 = 4:3, 3 = 16:9
  int32_t Reserved;
  bool Progressive;  // a frame is one field
  uint32_t Width;
  uint32_t Height;
  uint8_t GraphicsFlag;
  int32_t Chroma;
  qel::EditRate EditRate;  // {0, 0} when the reader has no rate
};

// True for the intra-frame codec families.
bool IsIntraCodec(const VideoDataType& type);

}  // namespace OXLDataReader

class COXLDataReader {
 public:
  using ReadFunction = std::function<int(unsigned char*&, unsigned int, unsigned int*, double*)>;

  // Process-wide default feature word copied by every new reader (0x12000000):
  // 0x10000000 super-motion handling, 0x01000000 legacy timecode handling.
  static unsigned int gdwDefaultFeatures;

  // Throws std::bad_alloc when the window cannot be allocated, and the
  // framework error when the recycler element cannot be implemented.
  COXLDataReader(OXLDataReader::DataType type, unsigned int bufferSize, std::string logId);
  COXLDataReader(const COXLDataReader&) = delete;
  COXLDataReader& operator=(const COXLDataReader&) = delete;
  virtual ~COXLDataReader();

  virtual int Open(const char* path, bool flag);
  virtual int Open(const wchar_t* path, bool flag);
  // Takes ownership of `fileReader`.
  virtual int Open(COXLFileReader* fileReader, bool flag);
  virtual int Open(bool flag);
  // Stores `fileReader` without deleting the previous one (the caller keeps
  // ownership of both); null answers 0 without initialising.
  virtual int UseFileReader(COXLFileReader* fileReader);
  virtual int Close();
  virtual int SetFileIndex(unsigned long offset);
  virtual int SetFileIndexBack(unsigned long offset, unsigned int bytes);
  virtual bool IsFileEnd();
  virtual bool IsFileOpen();
  virtual int GetDataStreams(int* streams, int count);
  virtual int GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>& infos);
  virtual int SelectDataStream(int stream);
  virtual int GetDataDescriptor(unsigned char*& descriptor);
  virtual int GetDataDescriptorXML(unsigned char*& xml, unsigned int& size);
  virtual std::vector<std::shared_ptr<const qel::IMetadata>> GetMetadataList() const;
  virtual bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info);
  virtual int GetNextData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time);
  virtual int GetPrevData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time);
  virtual std::shared_ptr<qel::ISampleContainer> GetNextDataSampleContainer();
  virtual std::shared_ptr<qel::ISampleContainer> GetPrevDataSampleContainer();
  virtual int SkipNextData();
  virtual int SkipPrevData();
  virtual int GoToFieldOffset(unsigned int field, unsigned int* reached);
  virtual int GoToTimeOffset(double& seconds);
  // The video system with in and out counted in fields, or 0xFFFFFFFF as
  // system with in and out in milliseconds when the material has none.
  virtual int GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem);
  virtual qel::TimeLimits GetTimeLimits();
  virtual qel::MediaTime GetAudioPrimingDuration();
  virtual void SetTc64(unsigned long, unsigned long) {}
  virtual void GetTc64(unsigned long&, unsigned long&) {}
  virtual unsigned int GetOffsetTc() { return m_dwOffsetTc; }
  virtual void SetConfiguration(std::shared_ptr<const qel::IParametersCollectionInstance> configuration) {}
  virtual std::shared_ptr<const qel::IParametersCollectionInstance> GetConfiguration() const { return m_Configuration; }
  virtual int GetSampleInfos(unsigned int*, unsigned int*, unsigned char*);
  virtual int GoToDataStart();
  virtual int GoToDataEnd();
  virtual int SetBufferSize(unsigned int size);
  virtual void SkipField(bool skip) { m_bSkipField = skip; }
  virtual void SetFeaturesFlags(unsigned int flags) { m_dwFeatures = flags; }
  virtual void EnableFeatures(unsigned int flags) { m_dwFeatures |= flags; }
  virtual void DisableFeatures(unsigned int flags) { m_dwFeatures &= ~flags; }
  virtual bool IsFeatureEnabled(unsigned int flags) { return (m_dwFeatures & flags) == flags; }

  // Big-endian reads; they do not move the cursor.
  static uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
  static uint32_t Read32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
  }
  static uint64_t Read64(const unsigned char* p) { return uint64_t(Read32(p)) << 32 | Read32(p + 4); }

  // Window state, for callers that inspect the reader (tools, tests).
  unsigned long GetBufferFileOffset() const { return m_qwBufferFileOffset; }
  unsigned int GetBufferDataSize() const { return m_dwBufferDataSize; }
  unsigned int GetAvailableBytes() const { return m_dwAvailableBytes; }
  unsigned int GetBufferSize() const { return m_dwBufferSize; }
  const unsigned char* GetCurrent() const { return m_pCurrent; }
  COXLFileReader* GetFileReader() const { return m_pFileReader; }

 protected:
  virtual int Initialize(bool flag);
  // Called by SetFileIndex after it really moved the file position.
  virtual void OnFileIndexMoved() {}

  int LoadData();
  // LoadData reading at most `maxBytes` more (readers that pace read-ahead).
  int LoadData(unsigned int maxBytes);
  bool InsureAvailableBytes(unsigned int count);
  int SkipBytes(unsigned int count);
  void InvalidateBufferData();
  // Reads up to `count` bytes from the end of the loaded data straight into
  // `target`, past the window, which is left empty at the new file position.
  // -1 without a file reader, 1 when the file reader fails or gives nothing.
  int ReadBeyondWindow(unsigned char* target, unsigned int count, unsigned int& read);
  // File offset just after the loaded data: where the file reader stands.
  uint64_t WindowEnd() const { return m_qwBufferFileOffset + m_dwBufferDataSize; }
  bool InWindow(uint64_t offset) const { return offset >= m_qwBufferFileOffset && offset < WindowEnd(); }
  // True when the window is empty at `offset` and the file reader stands
  // there because the last read was ReadBeyondWindow and nothing has moved
  // it since: reading on needs no seek. False without a file reader.
  bool IsAtDirectReadEnd(unsigned long offset) const;

  ReadFunction GetNextDataFunc();
  ReadFunction GetPrevDataFunc();
  std::shared_ptr<qel::ISampleContainer> GetDataSampleContainer(const ReadFunction& read);
  void InitializeVideoBufferAndParameters();
  unsigned int GetAudioSampleRate();

  std::string m_LogId;
  COXLFileReader* m_pFileReader = nullptr;
  unsigned char* m_pBuffer = nullptr;
  unsigned int m_dwBufferSize;
  unsigned int m_dwBufferDataSize = 0;
  unsigned long m_qwBufferFileOffset = 0;
  unsigned char* m_pCurrent = nullptr;
  unsigned int m_dwAvailableBytes = 0;
  unsigned int m_dwOffsetTc = 0xFFFFFFFF;
  bool m_bSkipField = false;
  unsigned int m_dwFeatures;
  std::shared_ptr<const qel::IParametersCollectionInstance> m_Configuration;
  OXLDataReader::DataType m_DataType;
  bool m_bVideoInitialized = false;
  std::shared_ptr<const qel::IVideoInfo> m_VideoInfo;
  std::shared_ptr<qel::IVideoParameters> m_VideoParameters;
  std::shared_ptr<qel::IRecycler> m_Recycler;

 private:
  void EmptyWindow();
  void DeleteFileReader();
  void AttachFileReader(COXLFileReader* fileReader);

  static const unsigned long kUnknownPosition = ~0UL;
  unsigned long m_qwDirectReadEnd = kUnknownPosition;  // valid only until the window changes
};
