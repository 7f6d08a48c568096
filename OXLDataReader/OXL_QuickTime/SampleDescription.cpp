#include "OXLDataReader/OXL_QuickTime/SampleDescription.h"

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

namespace QTReader {

const IAudioSampleDescriptor& CAudioSampleDescription::Descriptor() const {
  if (!m_pDescriptor) throw QTUtils::unsuported_or_invalid();
  return *m_pDescriptor;
}

uint32_t CAudioSampleDescription::GetBytesPerFrame() const { return Descriptor().GetBytesPerFrame(m_DataFormat); }
uint32_t CAudioSampleDescription::GetNumberOfChannels() const { return Descriptor().GetNumberOfChannels(); }
uint32_t CAudioSampleDescription::GetEndianness() const { return Descriptor().GetEndianness(m_DataFormat); }
uint32_t CAudioSampleDescription::GetBitsDepth() const { return Descriptor().GetBitsDepth(m_DataFormat); }
uint32_t CAudioSampleDescription::GetSampleRate() const { return Descriptor().GetSampleRate(); }

qel::audio_codec CAudioSampleDescription::GetAudioCodec() const {
  if (m_DataFormat == AtomType("mp4a")) return qel::audio_codec_aac;
  for (uint32_t pcm : {AtomType("in32"), AtomType("in24"), AtomType("lpcm"), AtomType("twos"), AtomType("sowt")})
    if (m_DataFormat == pcm) return qel::audio_codec_pcm;
  return qel::audio_codec_unknown;
}

std::shared_ptr<qel::IAudioParameters> CAudioSampleDescription::GetAudioParameters() const {
  const IAudioSampleDescriptor& descriptor = Descriptor();
  const uint32_t channels = descriptor.GetNumberOfChannels();
  if (channels == 0) throw QTUtils::unsuported_or_invalid();
  auto parameters = qel::CreateAudioParameters(qel::ACodecFamily_PCM);
  if (!parameters) return nullptr;
  parameters->SetEndianness(descriptor.GetEndianness(m_DataFormat));
  parameters->SetBytesPerSample(static_cast<uint8_t>(descriptor.GetBytesPerFrame(m_DataFormat) / channels));
  parameters->SetBitsPerSample(descriptor.GetBitsDepth(m_DataFormat));
  parameters->SetSampleRate(descriptor.GetSampleRate());
  parameters->SetChannelLayout(channels == 1 ? 1 : channels == 2 ? 3 : 2);
  parameters->SetInterleaved(true);
  return parameters;
}

std::unique_ptr<CAudioSampleDescription> createAudioSampleDescription(const unsigned char*& cursor,
                                                                      unsigned int size,
                                                                      const CSampleDescription& common) {
  const unsigned char* end = cursor + size;
  auto audio = std::make_unique<CAudioSampleDescription>();
  static_cast<CSampleDescription&>(*audio) = common;
  QTUtils::read(cursor, end, audio->m_wVersion);
  QTUtils::read(cursor, end, audio->m_wRevisionLevel);
  QTUtils::read(cursor, end, audio->m_dwVendor);
  audio->m_pDescriptor = CreateSampleDescriptor(audio->m_wVersion, cursor, end);
  return audio;
}

}  // namespace QTReader
