// Picture descriptors and the refinement of AVC-Intra video data types.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <map>
#include <vector>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFLocalKeyTable.h"
#include "OXLDataReader/MXFUtils.h"
#include "qelCore/DescriptiveMetadata.h"
#include "qelMuxerUtils/OXLAVCIntraHelper.h"

using OXLDataReader::VideoDataType;

namespace {

// Compare masks: bit 15 - j set when byte j (0-based) is compared. Byte 7
// is the registry version and never compared.
const uint16_t kAllBut8 = 0xFEFF;
const uint16_t kAllBut8And16 = 0xFEFE;
const uint16_t kAllBut8And15And16 = 0xFEFC;

struct CodingRow {
  unsigned char label[16];
  uint16_t mask;
  unsigned int type;
};

#define MXF_CODING(a, b, c, d) {0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x00, a, b, c, d
// Picture essence coding labels and the video data types they mean, tried in order.
const CodingRow kCodingTable[] = {
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x02, 0x01, 0x01}, kAllBut8, 8},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x02, 0x01, 0x02}, kAllBut8, 8},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x02, 0x01, 0x03}, kAllBut8, 7},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x02, 0x01, 0x04}, kAllBut8, 7},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x02, 0x01, 0x05}, kAllBut8, 6},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x02, 0x01, 0x06}, kAllBut8, 6},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x02, 0x02, 0x00}, kAllBut8And16, 18},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x01, 0x00, 0x00}, kAllBut8And15And16, 3},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x01, 0x00}, kAllBut8And16, 4},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x02, 0x00}, kAllBut8And16, 4},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x03, 0x00}, kAllBut8And16, 5},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x04, 0x00}, kAllBut8And16, 5},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x05, 0x00}, kAllBut8And16, 10},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x06, 0x00}, kAllBut8And16, 10},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x07, 0x00}, kAllBut8And16, 11},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x02, 0x02, 0x08, 0x00}, kAllBut8And16, 11},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x03, 0x00}, kAllBut8And16, 3},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x04, 0x00}, kAllBut8And16, 3},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x40, 0x00}, kAllBut8And16, 4},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x41, 0x00}, kAllBut8And16, 4},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x50, 0x00}, kAllBut8And16, 5},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x51, 0x00}, kAllBut8And16, 5},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x60, 0x00}, kAllBut8And16, 10},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x61, 0x00}, kAllBut8And16, 10},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x62, 0x00}, kAllBut8And16, 11},
    {MXF_CODING(0x0d, 0x01, 0x03, 0x01), 0x02, 0x02, 0x63, 0x00}, kAllBut8And16, 11},
    {MXF_CODING(0x0e, 0x04, 0x02, 0x01), 0x02, 0x04, 0x01, 0x00}, kAllBut8, 14},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x00, 0x00, 0x00}, kAllBut8And15And16, 14},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x01, 0x00, 0x00}, kAllBut8And15And16, 27},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x03, 0x00, 0x00}, kAllBut8And15And16, 14},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x04, 0x00, 0x00}, kAllBut8And15And16, 15},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x07, 0x00, 0x00}, kAllBut8And15And16, 27},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x08, 0x00, 0x00}, kAllBut8And15And16, 14},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x09, 0x00, 0x00}, kAllBut8And15And16, 15},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x10, 0x00, 0x00}, kAllBut8And15And16, 27},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x11, 0x00, 0x00}, kAllBut8And15And16, 15},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x12, 0x00, 0x00}, kAllBut8And15And16, 14},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x71, 0x13, 0x00, 0x00}, kAllBut8And15And16, 14},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x32, 0x31, 0x00}, kAllBut8And16, 23},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x32, 0x21, 0x00}, kAllBut8And16, 31},
    {MXF_CODING(0x04, 0x01, 0x02, 0x02), 0x01, 0x32, 0x30, 0x01}, kAllBut8, 50},
    {{0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0e, 0x04, 0x02, 0x01, 0x02, 0x01, 0x00, 0x00}, kAllBut8And15And16, 1},
    {{0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x03, 0x0e, 0x04, 0x02, 0x01, 0x02, 0x03, 0x00, 0x00}, kAllBut8And15And16, 28},
    {{0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x03, 0x04, 0x01, 0x02, 0x02, 0x01, 0x01, 0x00, 0x00}, kAllBut8And15And16, 13},
    {{0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x03, 0x04, 0x01, 0x02, 0x02, 0x01, 0x04, 0x00, 0x00}, kAllBut8And15And16, 13},
};
#undef MXF_CODING

bool MatchesCoding(const CodingRow& row, const unsigned char* label) {
  for (int j = 0; j < 16; ++j)
    if ((row.mask & (1u << (15 - j))) && row.label[j] != label[j]) return false;
  return true;
}

unsigned int CodingType(const unsigned char* label) {
  for (const CodingRow& row : kCodingTable)
    if (MatchesCoding(row, label)) return row.type;
  return 0;
}

OXLDataReader::VideoResolution Resolution(unsigned int type, uint32_t height) {
  if (type == 10 || type == 11 || type == 14) return height < 1080 ? OXLDataReader::HD_720 : OXLDataReader::HD_1080;
  if (type == 50 && height == 2160) return OXLDataReader::UHD_2160;
  if (height < 576) return OXLDataReader::SD_525;
  if (height < 720) return OXLDataReader::SD_625;
  return height < 1080 ? OXLDataReader::HD_720 : OXLDataReader::HD_1080;
}

qel::EditRate SampleRate(double rate) {
  switch (std::lround(rate * 100)) {
    case 2398: return qel::EditRate(24000, 1001);
    case 2400: return qel::EditRate(24, 1);
    case 2500: return qel::EditRate(25, 1);
    case 2997: return qel::EditRate(30000, 1001);
    case 5000: return qel::EditRate(50, 1);
    case 5994: return qel::EditRate(60000, 1001);
    default: return qel::EditRate(0, 0);
  }
}

// What the walk over a picture descriptor has found.
struct PictureFields {
  uint32_t storedWidth = 0, storedHeight = 0, displayWidth = 0, displayHeight = 0, bitRate = 0;
  unsigned int type = 0;
  bool haveAspect = false, haveLayout = false;
  uint8_t layout = 0;
  bool Complete() const { return haveAspect && (storedWidth || displayWidth) && (storedHeight || displayHeight) && type && bitRate; }
};

void ReadPictureItem(const unsigned char* tag, const unsigned char* v, unsigned int n, PictureFields& f,
                     OXLDataReader::VIDEO_INFO& info) {
  using namespace MxfUtils;
  switch (tag[0] << 8 | tag[1]) {
    case 0x320E: {
      const Rational aspect = ReadRational(v, n);
      info.AspectRatio = (aspect.numerator & 0xFF) == 4 && (aspect.denominator & 0xFF) == 3 ? 2 : 3;
      f.haveAspect = true;
      break;
    }
    case 0x3202: f.storedHeight = ReadUint32(v, n); break;
    case 0x3203: f.storedWidth = ReadUint32(v, n); break;
    case 0x3208: f.displayHeight = ReadUint32(v, n); break;
    case 0x3209: f.displayWidth = ReadUint32(v, n); break;
    case 0x8002: f.bitRate = ReadUint32(v, n); break;
    case 0x3201:
      if (n >= 16) f.type = CodingType(v);
      break;
    case 0x3218: info.Reserved = (ReadUint8(v, n) >> 3) & 0x0F; break;
    case 0x320C:
      f.layout = ReadUint8(v, n);
      f.haveLayout = true;
      break;
    case 0x3001: {
      const Rational rate = ReadRational(v, n);
      if (rate.denominator) info.EditRate = SampleRate(double(rate.numerator) / rate.denominator);
      break;
    }
    default: break;
  }
}

}  // namespace

// The active format description (bits 3 to 6 of its byte) goes to
// info.Reserved, the only free field of the record. A malformed value
// (shorter than its type) ends the walk and answers false.
bool CMXFDataReader::GetCDCIVideoInfo(unsigned char* value, unsigned int size, OXLDataReader::VIDEO_INFO& info) {
  info.AspectRatio = 0;
  info.Progressive = false;
  info.Width = info.Height = 0;
  PictureFields f;
  try {
    while (size >= 5 && !f.Complete()) {
      const unsigned int length = Oxl_Mxf::ReadItemLength(value, size);
      if (length + 4u > size) break;
      ReadPictureItem(value, value + 4, length, f, info);
      value += length + 4;
      size -= length + 4;
    }
  } catch (const std::exception&) {
    return false;
  }
  info.Width = f.storedWidth ? f.storedWidth : f.displayWidth;
  info.Height = f.storedHeight ? f.storedHeight : f.displayHeight;
  info.Progressive = f.haveLayout && f.layout == 0;
  if (!info.Progressive) info.Height *= 2;
  if (f.type == OXLDataReader::MPEGFrame_Video) {
    if (f.bitRate == 30000000) f.type = OXLDataReader::IMX30_Video;
    if (f.bitRate == 40000000) f.type = OXLDataReader::IMX40_Video;
    if (f.bitRate == 50000000) f.type = OXLDataReader::IMX50_Video;
  }
  if (f.type == 0) return false;
  info.VideoType = static_cast<VideoDataType>(f.type);
  info.Resolution = Resolution(f.type, info.Height);
  return true;
}

bool CMXFDataReader::MetadataAnalysisIsRequired(VideoDataType type) {
  return type == OXLDataReader::AVC_I_100 || type == OXLDataReader::AVC_I_50_1080i_Video ||
         type == OXLDataReader::H264_Intra;
}

bool CMXFDataReader::BitstreamAnalysisIsRequired(VideoDataType type) { return MetadataAnalysisIsRequired(type); }

int CMXFDataReader::AnalyzeMetadata(VideoDataType& type) {
  static const std::map<std::string, VideoDataType> codecs = {
      {"AVC50CBG_1440_1080_H10IP@L4", OXLDataReader::XAVC_Intra_Class50},
      {"AVC100CBG_1280_720_H422IP@L41", OXLDataReader::XAVC_Intra_Class100},
      {"AVC100CBG_1920_1080_H422IP@L41", OXLDataReader::XAVC_Intra_4k_Class300},
      {"AVC100CBG_1920_1080_H422IP@L42", OXLDataReader::XAVC_Intra_4k_Class480},
      {"AVCCBG_3840_2160_H422IP@L51", OXLDataReader::XAVC_Intra_4k_Class300},
      {"AVCCBG_3840_2160_H422IP@L52", OXLDataReader::XAVC_Intra_4k_Class300},
      {"AVC480CBG_3840_2160_H422IP@L51", OXLDataReader::XAVC_Intra_4k_Class480},
      {"AVC480CBG_3840_2160_H422IP@L52", OXLDataReader::XAVC_Intra_4k_Class480},
  };
  for (const auto& item : m_MetadataList) {
    const auto sony = std::dynamic_pointer_cast<const qel::IMetadata_SonyNonRealTimeMetaData>(item);
    if (!sony) continue;
    const auto it = codecs.find(sony->GetVideoCodec());
    if (it == codecs.end()) continue;
    type = it->second;
    return 0;
  }
  return -1;
}

int CMXFDataReader::AnalyseBitstream(VideoDataType& type) {
  // The edit unit's size comes from the file's index: one larger than the
  // file is a lie, not a buffer to allocate.
  const unsigned long fileSize = GetFileSize();
  if (fileSize != ~0UL && m_EditByteCount > fileSize) return -1;
  if (GoToDataStart() != 0) return -1;
  // Without an edit unit size a frame gets 4 MiB, but no more than the file holds.
  size_t bufferSize = m_EditByteCount ? m_EditByteCount : 4u << 20;
  if (!m_EditByteCount && fileSize != ~0UL) bufferSize = std::min<size_t>(bufferSize, fileSize);
  std::vector<unsigned char> frame(bufferSize);
  unsigned char* data = frame.data();
  unsigned int size = 0;
  const int read = GetNextData(data, static_cast<unsigned int>(frame.size()), &size, nullptr);
  if (GoToDataStart() != 0 || read != 0) return -1;
  // XAVC-Intra modes name their class: 16-17 class 50, 18-25 class 100,
  // 26-29 class 300, 30-33 class 480; other modes leave the type.
  const unsigned int mode = COXLAVCIntraHelper().GetAVCIntraMode(data, size);
  if (mode >= 16 && mode <= 17) type = OXLDataReader::XAVC_Intra_Class50;
  else if (mode >= 18 && mode <= 25) type = OXLDataReader::XAVC_Intra_Class100;
  else if (mode >= 26 && mode <= 29) type = OXLDataReader::XAVC_Intra_4k_Class300;
  else if (mode >= 30 && mode <= 33) type = OXLDataReader::XAVC_Intra_4k_Class480;
  return 0;
}
