#pragma once
// AvcIntraFormaterDataReader: a data reader around another one (a decorator)
// that rewrites every AVC-Intra frame it reads into a self-contained Annex B
// access unit (COXLAVCIntraHelper::Format), so that any H.264 decoder takes
// it, even when the container stored the frame without parameter sets.
//
// Every operation goes to the wrapped reader. After each successful open the
// compression mode is chosen from the wrapped reader's video description
// (AVCIntraModeHelper::GetAVCIntraMode); a missing description, a missing
// video system or an unknown mode make Open throw qel::QELRuntimeError
// ("Failed to get avc intra video info", "Failed to get video system",
// "AVC Intra mode may not be Unknown").
//
// Reading (GetNextData, GetPrevData) first checks the caller's buffer
// against the mode's largest formatted frame: a smaller buffer gives 101 with
// that size in *dataSize and consumes no frame. Then the wrapped reader reads
// the frame into the buffer and the formatter rewrites it in place. A frame
// the formatter refuses gives -1 (0xFFFFFFFF) and is left unformatted in the
// buffer; the read position has moved past it like after any read. Other
// results of the wrapped reader come back unchanged.
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/OXLDataReader.h"
#include "OxlTbx/VideoSystem.h"
#include "qelCore/MediaDescription.h"
#include "qelMuxerUtils/OXLAVCIntraHelper.h"

namespace AVCIntraModeHelper {

// The compression mode of AVC-Intra material from its container's
// description; 34 for every combination without a mode.
COXLAVCIntraHelper::avc_intra_compression_mode_enum GetAVCIntraMode(OXLDataReader::VideoDataType type,
                                                                     OXLDataReader::VideoResolution resolution,
                                                                     OxlTbx::VideoSystem system, qel::ScanMode scan);

}  // namespace AVCIntraModeHelper

class AvcIntraFormaterDataReader : public COXLDataReader {
 public:
  // Throws qel::QELRuntimeError when `inner` is null.
  AvcIntraFormaterDataReader(std::shared_ptr<COXLDataReader> inner, OXLDataReader::DataType type, std::string logId);

  int Open(const char* path, bool flag) override;
  int Open(const wchar_t* path, bool flag) override;
  int Open(COXLFileReader* fileReader, bool flag) override;
  int Open(bool flag) override;
  int UseFileReader(COXLFileReader* fileReader) override;
  int Close() override;
  int SetFileIndex(unsigned long offset) override;
  int SetFileIndexBack(unsigned long offset, unsigned int bytes) override;
  bool IsFileEnd() override;
  bool IsFileOpen() override;
  int GetDataStreams(int* streams, int count) override;
  int GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>& infos) override;
  int SelectDataStream(int stream) override;
  int GetDataDescriptor(unsigned char*& descriptor) override;
  int GetDataDescriptorXML(unsigned char*& xml, unsigned int& size) override;
  std::vector<std::shared_ptr<const qel::IMetadata>> GetMetadataList() const override;
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info) override;
  int GetNextData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) override;
  int GetPrevData(unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) override;
  std::shared_ptr<qel::ISampleContainer> GetNextDataSampleContainer() override;
  std::shared_ptr<qel::ISampleContainer> GetPrevDataSampleContainer() override;
  int SkipNextData() override;
  int SkipPrevData() override;
  int GoToFieldOffset(unsigned int field, unsigned int* reached) override;
  int GoToTimeOffset(double& seconds) override;
  int GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) override;
  qel::TimeLimits GetTimeLimits() override;
  qel::MediaTime GetAudioPrimingDuration() override;
  void SetTc64(unsigned long a, unsigned long b) override;
  void GetTc64(unsigned long& a, unsigned long& b) override;
  unsigned int GetOffsetTc() override;
  void SetConfiguration(std::shared_ptr<const qel::IParametersCollectionInstance> configuration) override;
  std::shared_ptr<const qel::IParametersCollectionInstance> GetConfiguration() const override;
  int GetSampleInfos(unsigned int* first, unsigned int* second, unsigned char* flag) override;
  int GoToDataStart() override;
  int GoToDataEnd() override;
  int SetBufferSize(unsigned int size) override;
  void SkipField(bool skip) override;
  void SetFeaturesFlags(unsigned int flags) override;
  void EnableFeatures(unsigned int flags) override;
  void DisableFeatures(unsigned int flags) override;
  bool IsFeatureEnabled(unsigned int flags) override;

  COXLAVCIntraHelper::avc_intra_compression_mode_enum GetMode() const { return m_Mode; }

 private:
  int InitializeAvcIntraFormater();
  bool CheckInputBufferSize(unsigned int size, unsigned int* required);
  int FormatAvcIntraFrame(unsigned char*& data, unsigned int size, unsigned int*& dataSize);
  int ReadFrame(const ReadFunction& read, unsigned char*& data, unsigned int size, unsigned int* dataSize,
                double* time);
  int AfterOpen(int result);

  COXLAVCIntraHelper m_Formatter;
  std::shared_ptr<COXLDataReader> m_Inner;
  COXLAVCIntraHelper::avc_intra_compression_mode_enum m_Mode = COXLAVCIntraHelper::AVCI_Unknown;
  std::vector<unsigned char> m_Scratch;
};
