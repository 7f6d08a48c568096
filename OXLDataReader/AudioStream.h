#pragma once
#include <cstdint>

namespace MediaTool {

// One audio stream of a file as a reader reports it.
template <typename NameT>
struct AudioStream {
  uint32_t SampleRate = 0;  // Hz
  uint32_t Reserved = 0;
  uint32_t Channels = 0;
  uint32_t Codec = 1000;  // qel::audio_codec
  NameT Name{};
};

}  // namespace MediaTool
