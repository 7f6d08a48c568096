// AvcIntraFormaterDataReader: mode selection, formatted reads, and the
// operations it hands to the wrapped reader.
#include "OXLDataReader/AvcIntraFormaterDataReader.h"

#include <cstring>
#include <exception>

#include "OxlTbx/TextEncoding.h"
#include "qelCore/Check.h"

using Mode = COXLAVCIntraHelper::avc_intra_compression_mode_enum;

namespace {
const int kBufferTooSmall = 101;
const int kFormatFailed = -1;
const unsigned int kWindowSize = 65536;
}  // namespace

Mode AVCIntraModeHelper::GetAVCIntraMode(OXLDataReader::VideoDataType type, OXLDataReader::VideoResolution resolution,
                                         OxlTbx::VideoSystem system, qel::ScanMode scan) {
  const bool hd1080 = resolution == OXLDataReader::HD_1080;
  const auto mode = [](unsigned int value) { return static_cast<Mode>(value); };
  const bool sys3 = system == OxlTbx::VS_PAL, sys4 = system == OxlTbx::VS_NTSCDrop;
  const bool sys6 = system == OxlTbx::VS_FieldPAL, sys7 = system == OxlTbx::VS_FieldNTSCDrop;
  switch (type) {
    case OXLDataReader::AVC_I_100:
      if (sys3) return mode(10);
      if (sys4) return mode(11);
      if (sys6) return mode(hd1080 ? 14 : 8);
      if (sys7) return mode(hd1080 ? 15 : 9);
      break;
    case OXLDataReader::AVC_I_50_1080i_Video:
      if (sys3) return mode(2);
      if (sys4) return mode(3);
      if (sys6) return mode(hd1080 ? 6 : 0);
      if (sys7) return mode(hd1080 ? 7 : 1);
      break;
    case OXLDataReader::XAVC_Intra_Class50:
      if (sys3) return mode(16);
      if (sys4) return mode(17);
      break;
    case OXLDataReader::XAVC_Intra_Class100:
      if ((sys3 || sys4) && scan == qel::ScanMode_Interlaced) return mode(sys3 ? 20 : 21);
      if ((sys3 || sys4) && scan == qel::ScanMode_Progressive) return mode(sys3 ? 22 : 25);
      if (sys6) return mode(hd1080 ? 24 : 18);
      if (sys7) return mode(hd1080 ? 25 : 19);
      break;
    default:
      break;
  }
  return COXLAVCIntraHelper::AVCI_Unknown;
}

AvcIntraFormaterDataReader::AvcIntraFormaterDataReader(std::shared_ptr<COXLDataReader> inner,
                                                       OXLDataReader::DataType type, std::string logId)
    : COXLDataReader(type, kWindowSize, std::move(logId)), m_Inner(std::move(inner)) {
  QEL_CHECK_NOT_NULL(m_Inner, "AvcIntraFormaterDataReader needs a reader to wrap");
}

int AvcIntraFormaterDataReader::InitializeAvcIntraFormater() {
  OXLDataReader::VIDEO_INFO info{};
  QEL_CHECK_TRUE(GetVideoInfo(info), "Failed to get avc intra video info");
  unsigned int system = 0;
  const int result = GetInOut(nullptr, nullptr, &system);
  QEL_CHECK_EQ(0, result, "Failed to get video system");
  m_Mode = AVCIntraModeHelper::GetAVCIntraMode(info.VideoType, info.Resolution,
                                               static_cast<OxlTbx::VideoSystem>(system),
                                               info.Progressive ? qel::ScanMode_Progressive : qel::ScanMode_Interlaced);
  QEL_CHECK_NE(static_cast<unsigned int>(COXLAVCIntraHelper::AVCI_Unknown), static_cast<unsigned int>(m_Mode),
               "AVC Intra mode may not be Unknown");
  return 0;
}

int AvcIntraFormaterDataReader::AfterOpen(int result) {
  if (result != 0) return result;
  return InitializeAvcIntraFormater();
}

int AvcIntraFormaterDataReader::Open(const char* path, bool flag) {
  if (!path) return Open(static_cast<const wchar_t*>(nullptr), flag);
  const std::wstring wide = TextEncoding::Unicode::get(path, 0);
  return Open(wide.c_str(), flag);
}

int AvcIntraFormaterDataReader::Open(const wchar_t* path, bool flag) { return AfterOpen(m_Inner->Open(path, flag)); }

int AvcIntraFormaterDataReader::Open(COXLFileReader* fileReader, bool flag) {
  return AfterOpen(m_Inner->Open(fileReader, flag));
}

int AvcIntraFormaterDataReader::Open(bool flag) { return AfterOpen(m_Inner->Open(flag)); }

bool AvcIntraFormaterDataReader::CheckInputBufferSize(unsigned int size, unsigned int* required) {
  const unsigned int needed = m_Formatter.GetMaxFrameSize(m_Mode);
  if (required) *required = needed;
  return needed <= size;
}

// `data` holds the raw frame of `size` bytes; the formatted frame replaces it.
int AvcIntraFormaterDataReader::FormatAvcIntraFrame(unsigned char*& data, unsigned int size, unsigned int*& dataSize) {
  unsigned char* out = nullptr;
  unsigned int outSize = 0;
  try {
    if (!m_Formatter.Format(m_Mode, data, size, out, outSize, m_Scratch, 0)) return kFormatFailed;
  } catch (const std::exception&) {
    return kFormatFailed;
  }
  if (out != data) std::memcpy(data, out, outSize);
  if (dataSize) *dataSize = outSize;
  return 0;
}

int AvcIntraFormaterDataReader::ReadFrame(const ReadFunction& read, unsigned char*& data, unsigned int size,
                                          unsigned int* dataSize, double* time) {
  if (!CheckInputBufferSize(size, dataSize)) return kBufferTooSmall;
  unsigned char* const buffer = data;
  unsigned int rawSize = 0;
  const int result = read(data, size, &rawSize, time);
  if (result != 0) {
    if (dataSize) *dataSize = rawSize;
    return result;
  }
  // A reader may answer with its own memory; the frame goes to the caller's buffer.
  if (data != buffer && data && buffer) {
    if (rawSize > size) return kBufferTooSmall;
    std::memmove(buffer, data, rawSize);
    data = buffer;
  }
  return FormatAvcIntraFrame(data, rawSize, dataSize);
}

int AvcIntraFormaterDataReader::GetNextData(unsigned char*& data, unsigned int size, unsigned int* dataSize,
                                            double* time) {
  COXLDataReader& inner = *m_Inner;
  return ReadFrame([&inner](unsigned char*& d, unsigned int s, unsigned int* n, double* t) {
    return inner.GetNextData(d, s, n, t);
  }, data, size, dataSize, time);
}

int AvcIntraFormaterDataReader::GetPrevData(unsigned char*& data, unsigned int size, unsigned int* dataSize,
                                            double* time) {
  COXLDataReader& inner = *m_Inner;
  return ReadFrame([&inner](unsigned char*& d, unsigned int s, unsigned int* n, double* t) {
    return inner.GetPrevData(d, s, n, t);
  }, data, size, dataSize, time);
}

// The base packaging asks this reader for the video description and system,
// which are the wrapped reader's.
std::shared_ptr<qel::ISampleContainer> AvcIntraFormaterDataReader::GetNextDataSampleContainer() {
  return GetDataSampleContainer(GetNextDataFunc());
}

std::shared_ptr<qel::ISampleContainer> AvcIntraFormaterDataReader::GetPrevDataSampleContainer() {
  return GetDataSampleContainer(GetPrevDataFunc());
}

void AvcIntraFormaterDataReader::SetConfiguration(std::shared_ptr<const qel::IParametersCollectionInstance> c) {
  m_Inner->SetConfiguration(std::move(c));
}

int AvcIntraFormaterDataReader::UseFileReader(COXLFileReader* r) { return m_Inner->UseFileReader(r); }
int AvcIntraFormaterDataReader::Close() { return m_Inner->Close(); }
int AvcIntraFormaterDataReader::SetFileIndex(unsigned long offset) { return m_Inner->SetFileIndex(offset); }
int AvcIntraFormaterDataReader::SetFileIndexBack(unsigned long offset, unsigned int bytes) {
  return m_Inner->SetFileIndexBack(offset, bytes);
}
bool AvcIntraFormaterDataReader::IsFileEnd() { return m_Inner->IsFileEnd(); }
bool AvcIntraFormaterDataReader::IsFileOpen() { return m_Inner->IsFileOpen(); }
int AvcIntraFormaterDataReader::GetDataStreams(int* streams, int count) {
  return m_Inner->GetDataStreams(streams, count);
}
int AvcIntraFormaterDataReader::GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>& infos) {
  return m_Inner->GetAudioInfos(infos);
}
int AvcIntraFormaterDataReader::SelectDataStream(int stream) { return m_Inner->SelectDataStream(stream); }
int AvcIntraFormaterDataReader::GetDataDescriptor(unsigned char*& d) { return m_Inner->GetDataDescriptor(d); }
int AvcIntraFormaterDataReader::GetDataDescriptorXML(unsigned char*& xml, unsigned int& size) {
  return m_Inner->GetDataDescriptorXML(xml, size);
}
std::vector<std::shared_ptr<const qel::IMetadata>> AvcIntraFormaterDataReader::GetMetadataList() const {
  return m_Inner->GetMetadataList();
}
bool AvcIntraFormaterDataReader::GetVideoInfo(OXLDataReader::VIDEO_INFO& info) { return m_Inner->GetVideoInfo(info); }
int AvcIntraFormaterDataReader::SkipNextData() { return m_Inner->SkipNextData(); }
int AvcIntraFormaterDataReader::SkipPrevData() { return m_Inner->SkipPrevData(); }
int AvcIntraFormaterDataReader::GoToFieldOffset(unsigned int field, unsigned int* reached) {
  return m_Inner->GoToFieldOffset(field, reached);
}
int AvcIntraFormaterDataReader::GoToTimeOffset(double& seconds) { return m_Inner->GoToTimeOffset(seconds); }
int AvcIntraFormaterDataReader::GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) {
  return m_Inner->GetInOut(in, out, videoSystem);
}
qel::TimeLimits AvcIntraFormaterDataReader::GetTimeLimits() { return m_Inner->GetTimeLimits(); }
qel::MediaTime AvcIntraFormaterDataReader::GetAudioPrimingDuration() { return m_Inner->GetAudioPrimingDuration(); }
void AvcIntraFormaterDataReader::SetTc64(unsigned long a, unsigned long b) { m_Inner->SetTc64(a, b); }
void AvcIntraFormaterDataReader::GetTc64(unsigned long& a, unsigned long& b) { m_Inner->GetTc64(a, b); }
unsigned int AvcIntraFormaterDataReader::GetOffsetTc() { return m_Inner->GetOffsetTc(); }
std::shared_ptr<const qel::IParametersCollectionInstance> AvcIntraFormaterDataReader::GetConfiguration() const {
  return m_Inner->GetConfiguration();
}
int AvcIntraFormaterDataReader::GetSampleInfos(unsigned int* first, unsigned int* second, unsigned char* flag) {
  return m_Inner->GetSampleInfos(first, second, flag);
}
int AvcIntraFormaterDataReader::GoToDataStart() { return m_Inner->GoToDataStart(); }
int AvcIntraFormaterDataReader::GoToDataEnd() { return m_Inner->GoToDataEnd(); }
int AvcIntraFormaterDataReader::SetBufferSize(unsigned int size) { return m_Inner->SetBufferSize(size); }
void AvcIntraFormaterDataReader::SkipField(bool skip) { m_Inner->SkipField(skip); }
void AvcIntraFormaterDataReader::SetFeaturesFlags(unsigned int flags) { m_Inner->SetFeaturesFlags(flags); }
void AvcIntraFormaterDataReader::EnableFeatures(unsigned int flags) { m_Inner->EnableFeatures(flags); }
void AvcIntraFormaterDataReader::DisableFeatures(unsigned int flags) { m_Inner->DisableFeatures(flags); }
bool AvcIntraFormaterDataReader::IsFeatureEnabled(unsigned int flags) { return m_Inner->IsFeatureEnabled(flags); }
