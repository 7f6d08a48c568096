#pragma once
// Sample descriptions of an "stsd" atom: the common part of every entry and
// the sound variant. The video variants are in VideoSampleDescription.h.
#include <cstdint>
#include <memory>

#include "OXLDataReader/OXL_QuickTime/AudioSampleDescriptor.h"
#include "qelCore/MediaDescription.h"

namespace QTReader {

class CSampleDescription {
 public:
  // The four-character coding ("avc1", "twos"), unswapped (AtomType).
  using DataFormat = uint32_t;

  CSampleDescription() = default;
  CSampleDescription(const CSampleDescription&) = default;
  CSampleDescription& operator=(const CSampleDescription&) = default;
  virtual ~CSampleDescription() = default;

  uint32_t m_dwSize = 0;  // of this description, header included
  DataFormat m_DataFormat = 0;
  unsigned char m_Reserved[6] = {};
  uint16_t m_wDataReferenceIndex = 0;
};

class CAudioSampleDescription : public CSampleDescription {
 public:
  // The getters below throw QTUtils::unsuported_or_invalid when the
  // description has no descriptor (its version-specific fields were unreadable).
  uint32_t GetBytesPerFrame() const;
  uint32_t GetNumberOfChannels() const;
  uint32_t GetEndianness() const;
  uint32_t GetBitsDepth() const;
  uint32_t GetSampleRate() const;
  // "mp4a" AAC (3); "in32", "in24", "lpcm", "twos", "sowt" PCM (0); else 1000.
  qel::audio_codec GetAudioCodec() const;
  // A new PCM-family parameter object with endianness, bytes per sample,
  // bit depth, sample rate, channel layout and interleaving set. A channel
  // count of 0 is refused (QTUtils::unsuported_or_invalid).
  std::shared_ptr<qel::IAudioParameters> GetAudioParameters() const;

  uint16_t m_wVersion = 0;
  uint16_t m_wRevisionLevel = 0;
  uint32_t m_dwVendor = 0;
  std::unique_ptr<IAudioSampleDescriptor> m_pDescriptor;  // may be empty

 private:
  const IAudioSampleDescriptor& Descriptor() const;
};

// Reads version, revision level and vendor, then the version's descriptor,
// from `cursor` (just after the common part); `size` bytes are left in the
// entry. Unsupported versions throw QTUtils::unsuported_or_invalid.
std::unique_ptr<CAudioSampleDescription> createAudioSampleDescription(const unsigned char*& cursor,
                                                                      unsigned int size,
                                                                      const CSampleDescription& common);

}  // namespace QTReader
