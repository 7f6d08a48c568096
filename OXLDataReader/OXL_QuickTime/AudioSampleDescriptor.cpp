#include "OXLDataReader/OXL_QuickTime/AudioSampleDescriptor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

namespace QTReader {
namespace {

// The type of the trailing "wave" atom, read as a big-endian number.
constexpr uint32_t kWaveBigEndian = 0x77617665;

bool IsIn24(uint32_t dataFormat) { return dataFormat == AtomType("in24"); }

}  // namespace

void CV0AudioSampleDescriptor::Initialize(const unsigned char*& cursor, const unsigned char* end) {
  QTUtils::read(cursor, end, m_wNumberOfChannels);
  QTUtils::read(cursor, end, m_wSampleSize);
  QTUtils::read(cursor, end, m_wCompressionId);
  QTUtils::read(cursor, end, m_wPacketSize);
  QTUtils::read(cursor, end, m_wSampleRateInteger);
  QTUtils::read(cursor, end, m_wSampleRateFraction);
}

uint32_t CV0AudioSampleDescriptor::GetBytesPerFrame(uint32_t dataFormat) const {
  if (IsIn24(dataFormat)) return uint32_t(m_wNumberOfChannels) * 3;
  return uint32_t(m_wSampleSize / 8) * m_wNumberOfChannels;
}

uint32_t CV0AudioSampleDescriptor::GetEndianness(uint32_t dataFormat) const {
  if (IsIn24(dataFormat) || dataFormat == AtomType("twos")) return kAudioBigEndian;
  return kAudioLittleEndian;
}

uint32_t CV0AudioSampleDescriptor::GetBitsDepth(uint32_t dataFormat) const {
  return IsIn24(dataFormat) ? 24 : m_wSampleSize;
}

void CV1AudioSampleDescriptor::Initialize(const unsigned char*& cursor, const unsigned char* end) {
  CV0AudioSampleDescriptor::Initialize(cursor, end);
  QTUtils::read(cursor, end, m_dwSamplesPerPacket);
  QTUtils::read(cursor, end, m_dwBytesPerPacket);
  QTUtils::read(cursor, end, m_dwBytesPerFrame);
  QTUtils::read(cursor, end, m_dwBytesPerSample);
  ReadTrailingAtoms(cursor, end);
}

// The atoms after the fixed fields; only "wave" matters. An atom that does
// not fit, or is too small for its own header, ends the scan.
void CV1AudioSampleDescriptor::ReadTrailingAtoms(const unsigned char*& cursor, const unsigned char* end) {
  static const unsigned char kEnda[4] = {'e', 'n', 'd', 'a'};
  while (QTUtils::Remaining(cursor, end) >= 4) {
    const uint32_t size = QTUtils::Read32(cursor);
    if (size < 8 || size > QTUtils::Remaining(cursor, end)) return;
    cursor += 4;
    unsigned int type = 0;
    QTUtils::read(cursor, end, type);
    if (type == 0) return;
    const unsigned char* payloadEnd = cursor + (size - 8);
    if (type == kWaveBigEndian) {
      m_WaveEndianness = 0;
      const unsigned char* found = std::search(cursor, payloadEnd, kEnda, kEnda + 4);
      if (found != payloadEnd) {
        const unsigned char* value = found + 4;
        unsigned short littleEndian = 0;
        QTUtils::read(value, payloadEnd, littleEndian);
        m_WaveEndianness = littleEndian ? kAudioLittleEndian : kAudioBigEndian;
      }
    }
    cursor = payloadEnd;
  }
}

uint32_t CV1AudioSampleDescriptor::GetBytesPerFrame(uint32_t dataFormat) const {
  if (m_dwBytesPerFrame) return m_dwBytesPerFrame;
  if (m_dwBytesPerSample) return m_dwBytesPerSample * m_wNumberOfChannels;
  return CV0AudioSampleDescriptor::GetBytesPerFrame(dataFormat);
}

uint32_t CV1AudioSampleDescriptor::GetEndianness(uint32_t dataFormat) const {
  if (m_WaveEndianness && *m_WaveEndianness) return *m_WaveEndianness;
  return CV0AudioSampleDescriptor::GetEndianness(dataFormat);
}

uint32_t CV1AudioSampleDescriptor::GetBitsDepth(uint32_t dataFormat) const {
  if (m_dwBytesPerPacket) return m_dwBytesPerPacket * 8;
  return CV0AudioSampleDescriptor::GetBitsDepth(dataFormat);
}

const unsigned char CV2AudioSampleDescriptor::kPrefix[12] = {0x00, 0x03, 0x00, 0x10, 0xFF, 0xFE,
                                                             0x00, 0x00, 0x00, 0x01, 0x00, 0x00};

void CV2AudioSampleDescriptor::Initialize(const unsigned char*& cursor, const unsigned char* end) {
  QTUtils::skip(cursor, end, sizeof kPrefix);
  QTUtils::read(cursor, end, m_dwSizeOfStructOnly);
  unsigned long rateBits = 0;
  QTUtils::read(cursor, end, rateBits);
  std::memcpy(&m_SampleRate, &rateBits, sizeof m_SampleRate);
  if (!(m_SampleRate >= 0.0 && m_SampleRate < 4294967296.0)) throw QTUtils::unsuported_or_invalid();
  QTUtils::read(cursor, end, m_dwNumberOfChannels);
  QTUtils::read(cursor, end, m_dwAlways7F000000);
  QTUtils::read(cursor, end, m_dwBitsPerChannel);
  QTUtils::read(cursor, end, m_dwFormatSpecificFlags);
  QTUtils::read(cursor, end, m_dwBytesPerAudioPacket);
  QTUtils::read(cursor, end, m_dwSampleFramesPerPacket);
}

uint32_t CV2AudioSampleDescriptor::GetBytesPerFrame(uint32_t) const {
  if (!m_dwBytesPerAudioPacket) throw QTUtils::unsuported_or_invalid();
  return m_dwBytesPerAudioPacket;
}

uint32_t CV2AudioSampleDescriptor::GetEndianness(uint32_t) const {
  return (m_dwFormatSpecificFlags & 2) ? kAudioBigEndian : kAudioLittleEndian;
}

uint32_t CV2AudioSampleDescriptor::GetBitsDepth(uint32_t) const {
  if (!m_dwBitsPerChannel) throw QTUtils::unsuported_or_invalid();
  return m_dwBitsPerChannel;
}

std::unique_ptr<IAudioSampleDescriptor> CreateSampleDescriptor(uint16_t version, const unsigned char*& cursor,
                                                               const unsigned char* end) {
  std::unique_ptr<IAudioSampleDescriptor> descriptor;
  switch (version) {
    case 0:
      descriptor = std::make_unique<CV0AudioSampleDescriptor>();
      break;
    case 1:
      descriptor = std::make_unique<CV1AudioSampleDescriptor>();
      break;
    case 2:
      if (QTUtils::Remaining(cursor, end) < sizeof CV2AudioSampleDescriptor::kPrefix ||
          std::memcmp(cursor, CV2AudioSampleDescriptor::kPrefix, sizeof CV2AudioSampleDescriptor::kPrefix) != 0)
        throw QTUtils::unsuported_or_invalid();
      descriptor = std::make_unique<CV2AudioSampleDescriptor>();
      break;
    default:
      throw QTUtils::unsuported_or_invalid();
  }
  try {
    descriptor->Initialize(cursor, end);
  } catch (const std::exception&) {
    return nullptr;
  }
  return descriptor;
}

}  // namespace QTReader
