#pragma once
// The version-specific part of a QuickTime sound sample description
// (versions 0, 1 and 2), and the answers derived from it.
#include <cstdint>
#include <memory>
#include <optional>

namespace QTReader {

// Endianness values reported by the descriptors.
enum : uint32_t { kAudioLittleEndian = 1, kAudioBigEndian = 2 };

// The getters taking a data format answer for that four-character coding
// (unswapped, as in CSampleDescription::DataFormat).
class IAudioSampleDescriptor {
 public:
  virtual ~IAudioSampleDescriptor() = default;
  // Reads the fields from `cursor`, advancing it; throws
  // QTUtils::unsuported_or_invalid when they pass `end`.
  virtual void Initialize(const unsigned char*& cursor, const unsigned char* end) = 0;
  virtual uint32_t GetBytesPerFrame(uint32_t dataFormat) const = 0;
  virtual uint32_t GetNumberOfChannels() const = 0;
  virtual uint32_t GetEndianness(uint32_t dataFormat) const = 0;
  virtual uint32_t GetBitsDepth(uint32_t dataFormat) const = 0;
  virtual uint32_t GetSampleRate() const = 0;
};

class CV0AudioSampleDescriptor : public IAudioSampleDescriptor {
 public:
  void Initialize(const unsigned char*& cursor, const unsigned char* end) override;
  uint32_t GetBytesPerFrame(uint32_t dataFormat) const override;
  uint32_t GetNumberOfChannels() const override { return m_wNumberOfChannels; }
  uint32_t GetEndianness(uint32_t dataFormat) const override;
  uint32_t GetBitsDepth(uint32_t dataFormat) const override;
  // Integer part of the 16.16 rate.
  uint32_t GetSampleRate() const override { return m_wSampleRateInteger; }

  uint16_t m_wNumberOfChannels = 0;
  uint16_t m_wSampleSize = 0;  // bits
  uint16_t m_wCompressionId = 0;
  uint16_t m_wPacketSize = 0;
  uint16_t m_wSampleRateInteger = 0;
  uint16_t m_wSampleRateFraction = 0;
};

class CV1AudioSampleDescriptor : public CV0AudioSampleDescriptor {
 public:
  // After the fixed fields, scans the atoms that follow for a "wave" atom
  // holding "enda" (non-zero: little-endian).
  void Initialize(const unsigned char*& cursor, const unsigned char* end) override;
  uint32_t GetBytesPerFrame(uint32_t dataFormat) const override;
  uint32_t GetEndianness(uint32_t dataFormat) const override;
  uint32_t GetBitsDepth(uint32_t dataFormat) const override;

  uint32_t m_dwSamplesPerPacket = 0;
  uint32_t m_dwBytesPerPacket = 0;
  uint32_t m_dwBytesPerFrame = 0;
  uint32_t m_dwBytesPerSample = 0;
  // Set (0 when "enda" is absent) when a "wave" atom was seen.
  std::optional<uint32_t> m_WaveEndianness;

 private:
  void ReadTrailingAtoms(const unsigned char*& cursor, const unsigned char* end);
};

class CV2AudioSampleDescriptor : public IAudioSampleDescriptor {
 public:
  // Expects the cursor on the fixed 12-byte prefix. A sample rate that is
  // not a finite value from 0 to 2^32 is refused as invalid.
  void Initialize(const unsigned char*& cursor, const unsigned char* end) override;
  // Bytes per audio packet; throws QTUtils::unsuported_or_invalid when 0.
  uint32_t GetBytesPerFrame(uint32_t dataFormat) const override;
  uint32_t GetNumberOfChannels() const override { return m_dwNumberOfChannels; }
  uint32_t GetEndianness(uint32_t dataFormat) const override;
  // Bits per channel; throws QTUtils::unsuported_or_invalid when 0.
  uint32_t GetBitsDepth(uint32_t dataFormat) const override;
  uint32_t GetSampleRate() const override { return static_cast<uint32_t>(m_SampleRate); }

  // The version-0 fields every version-2 description carries in front.
  static const unsigned char kPrefix[12];

  uint32_t m_dwSizeOfStructOnly = 0;
  double m_SampleRate = 0.0;
  uint32_t m_dwNumberOfChannels = 0;
  uint32_t m_dwAlways7F000000 = 0;
  uint32_t m_dwBitsPerChannel = 0;
  uint32_t m_dwFormatSpecificFlags = 0;
  uint32_t m_dwBytesPerAudioPacket = 0;
  uint32_t m_dwSampleFramesPerPacket = 0;
};

// The descriptor of a sound description of `version`, initialised from
// `cursor`. Throws QTUtils::unsuported_or_invalid for a version other than
// 0, 1 and 2 and for a version-2 description without its prefix; a
// descriptor whose own fields fail to read is dropped (null result).
std::unique_ptr<IAudioSampleDescriptor> CreateSampleDescriptor(uint16_t version, const unsigned char*& cursor,
                                                               const unsigned char* end);

}  // namespace QTReader
