// The framework side of COXLDataReader: video description, sample containers
// and the time limits of the whole media.
#define QEL_SOURCE_FILE "OXLDataReader/OXLDataReader.cpp"
#include <cmath>
#include <cstring>
#include <iterator>

#include "OXLDataReader/DataReaderTimeLimits.h"
#include "OXLDataReader/OXLDataReader.h"
#include "qelCore/Check.h"

namespace {

const unsigned int kSampleBufferSize = 2097152;

qel::VCodecFamily CodecFamily(unsigned int videoType) {
  using namespace qel;
  static const VCodecFamily families[50] = {
      VCodecFamily_MJPEG,  VCodecFamily_MJPEG,   VCodecFamily_DV,      VCodecFamily_DV,      VCodecFamily_DV,
      VCodecFamily_MPEG2,  VCodecFamily_MPEG2,   VCodecFamily_MPEG2,   VCodecFamily_MJPEG,   VCodecFamily_DV,
      VCodecFamily_DV,     VCodecFamily_Graphics, VCodecFamily_MPEG2,  VCodecFamily_DNxHD,   VCodecFamily_DNxHD,
      VCodecFamily_MPEG2,  VCodecFamily_MPEG2,   VCodecFamily_MPEG2,   VCodecFamily_ProRes,  VCodecFamily_ProRes,
      VCodecFamily_MJPEG,  VCodecFamily_AVC,     VCodecFamily_AVC,     VCodecFamily_MPEG1,   VCodecFamily_Graphics,
      VCodecFamily_ProRes, VCodecFamily_DNxHD,   VCodecFamily_AVC,     VCodecFamily_Graphics, VCodecFamily_AVC,
      VCodecFamily_AVC,    VCodecFamily_Unknown, VCodecFamily_Unknown, VCodecFamily_Unknown, VCodecFamily_Unknown,
      VCodecFamily_Unknown, VCodecFamily_Unknown, VCodecFamily_Unknown, VCodecFamily_Unknown, VCodecFamily_Unknown,
      VCodecFamily_ProRes, VCodecFamily_AVC,     VCodecFamily_AVC,     VCodecFamily_AVC,     VCodecFamily_AVC,
      VCodecFamily_AVC,    VCodecFamily_AVC,     VCodecFamily_AVC,     VCodecFamily_AVC,     VCodecFamily_AVC,
  };
  if (videoType < 1 || videoType > std::size(families)) return VCodecFamily_Unknown;
  return families[videoType - 1];
}

void NominalSize(int resolution, uint32_t& width, uint32_t& height) {
  width = height = 0;
  switch (resolution) {
    case 1: width = 720; height = 480; break;
    case 2: width = 720; height = 576; break;
    case 3: width = 1280; height = 720; break;
    case 4: width = 1920; height = 1080; break;
    case 5: width = 3840; height = 2160; break;
    case 17: width = 352; height = 240; break;
    case 18: width = 352; height = 288; break;
    default: break;
  }
}

// Picture rate of a video system for sample packaging.
qel::EditRate PictureRate(unsigned int system) {
  switch (system) {
    case 0: return qel::EditRate(0, 0);
    case 3: return qel::EditRate(25, 1);
    case 4: return qel::EditRate(2997, 100);
    case 6: return qel::EditRate(50, 1);
    case 7: return qel::EditRate(5994, 100);
    default: QEL_FAIL("invalid video system");
  }
}

// Rate of a video system for time limits; it also knows the field systems 5 and 8.
qel::EditRate LimitsRate(unsigned int system) {
  if (system == 5) return qel::EditRate(2997, 100);
  if (system == 8) return qel::EditRate(5994, 100);
  return PictureRate(system);
}

}  // namespace

COXLDataReader::ReadFunction COXLDataReader::GetNextDataFunc() {
  return [this](unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) {
    return GetNextData(data, size, dataSize, time);
  };
}

COXLDataReader::ReadFunction COXLDataReader::GetPrevDataFunc() {
  return [this](unsigned char*& data, unsigned int size, unsigned int* dataSize, double* time) {
    return GetPrevData(data, size, dataSize, time);
  };
}

std::shared_ptr<qel::ISampleContainer> COXLDataReader::GetNextDataSampleContainer() {
  return GetDataSampleContainer(GetNextDataFunc());
}

std::shared_ptr<qel::ISampleContainer> COXLDataReader::GetPrevDataSampleContainer() {
  return GetDataSampleContainer(GetPrevDataFunc());
}

void COXLDataReader::InitializeVideoBufferAndParameters() {
  OXLDataReader::VIDEO_INFO info{};
  (void)GetVideoInfo(info);
  unsigned int in = 0, out = 0, system = 0;
  (void)GetInOut(&in, &out, &system);

  m_VideoParameters = qel::CreateVideoParameters(CodecFamily(info.VideoType));
  QEL_CHECK_NOT_NULL(m_VideoParameters, "can not create video params");
  m_VideoParameters->SetAspectRatio(info.AspectRatio);
  m_VideoParameters->SetEditRate(PictureRate(system));
  m_VideoParameters->SetScanMode(info.Progressive ? qel::ScanMode_Progressive : qel::ScanMode_Interlaced);
  m_VideoParameters->SetFieldDominance(0);
  m_VideoParameters->SetWidth(info.Width);
  m_VideoParameters->SetHeight(info.Height);
  uint32_t width, height;
  NominalSize(info.Resolution, width, height);
  m_VideoParameters->SetNominalWidth(width);
  m_VideoParameters->SetNominalHeight(height);

  auto group = qel::CreateTrackGroup("");
  auto track = info.Progressive ? qel::CreateTrack(qel::ContentType_Video, 1, group, qel::TrackLayout_Frame)
                                : qel::CreateTrack(qel::ContentType_Video, 2, group, qel::TrackLayout_Fields);
  auto channelInfo = qel::CreateChannelInfo(track);
  m_VideoInfo = qel::CreateVideoInfo(m_VideoParameters, channelInfo, {}, {});
  QEL_CHECK_NOT_NULL(m_VideoInfo, "can not channel info for video");
  m_bVideoInitialized = true;
}

// A reader may answer by pointing `data` at its own memory instead of filling
// the buffer; the bytes are then copied so the sample always owns them.
std::shared_ptr<qel::ISampleContainer> COXLDataReader::GetDataSampleContainer(const ReadFunction& read) {
  if (!m_bVideoInitialized) InitializeVideoBufferAndParameters();
  auto buffer = qel::CreateBuffer(m_Recycler, nullptr);
  QEL_CHECK_NOT_NULL(buffer, "can not create reader buffer");
  QEL_CHECK_TRUE(buffer->Resize(kSampleBufferSize), "can not size reader buffer");
  unsigned char* const own = buffer->GetData();
  const unsigned int capacity = static_cast<unsigned int>(buffer->GetCapacity());
  unsigned char* data = own;
  unsigned int dataSize = 0;
  double time = 0.0;
  QEL_CHECK_TRUE(read(data, capacity, &dataSize, &time) == 0, "GetNextData error");
  QEL_CHECK_GE(capacity, dataSize, "sample larger than its buffer");
  if (data != own && data && dataSize) std::memmove(own, data, dataSize);

  const qel::EditRate rate = m_VideoParameters->GetEditRate();
  rate.CheckDenominator();
  qel::TimeLimits limits;
  limits.start = qel::MediaTime(rate, 0);
  limits.start.SetTimeNumber(static_cast<int64_t>(double(rate.numerator) / double(rate.denominator) * time));
  limits.duration = 1;
  buffer->Resize(dataSize);

  auto sample = qel::CreateVideoSample(m_VideoParameters, m_VideoInfo, buffer, limits);
  return qel::CreateSampleContainer(sample);
}

qel::TimeLimits COXLDataReader::GetTimeLimits() {
  auto calculator = CreateDataReaderTimeLimitsCalculator(m_DataType, GetAudioSampleRate());
  unsigned int in = 0, out = 0, system = 0;
  if (GetInOut(&in, &out, &system) != 0) QEL_FAIL("Failed to get in out from datareader");
  return calculator->ComputeTimeLimits(in, out, LimitsRate(system));
}
