#pragma once
// Writes small QuickTime movies that FFmpeg cannot make: reference movies
// whose samples lie in another file, time-code tracks with chosen values,
// version-1 headers, and movies with damaged tables. One sample per chunk.
#include <cstdint>
#include <string>
#include <vector>

namespace oxltest {

struct QtWriterTrack {
  uint32_t trackId = 1;
  std::string handler = "vide";  // "vide", "soun", "tmcd"
  uint32_t timescale = 25;
  uint32_t sampleDuration = 1;   // in the track's timescale
  std::vector<uint32_t> sizes;   // per sample
  std::vector<uint64_t> offsets; // per sample (chunk), file offsets in the media file
  std::string stsd;              // the whole "stsd" atom
  std::string drefEntry;         // one "dref" entry; empty: a self-reference "url "
  std::vector<uint32_t> syncSamples;  // 1-based; empty: no "stss", every sample is sync
  uint16_t width = 0, height = 0;     // of the track header
};

// A video "stsd" with one entry of `format` ("apcn") and the picture size.
std::string VideoStsd(const char* format, uint16_t width, uint16_t height);
// A sound "stsd" (version 0) with one entry of `format` ("twos").
std::string SoundStsd(const char* format, uint16_t channels, uint16_t bits, uint16_t rate);
// A time-code "stsd": frames per second, drop-frame flag; `size` pads or cuts
// the atom to that many bytes (50 is the real size).
std::string TimecodeStsd(uint8_t framesPerSecond, bool dropFrame, uint32_t size = 50);

// "dref" entries: an alias with an HFS path (tag 2) and a POSIX path (tag 18),
// either may be empty; a "url " entry whose file name the reader takes at
// entry offset 28.
std::string AliasDrefEntry(const std::string& hfsPath, const std::string& posixPath, bool selfReference = false);
std::string UrlDrefEntry(const std::string& fileName, bool selfReference = false);

// "ftyp" + "mdat" holding `payload` + the movie (time scale 600); `offsets`
// of the tracks are taken relative to the payload when `relativeToPayload`
// is set. With `version1`, movie, track and media headers carry 64-bit times.
// `moovTail` is appended inside the movie atom (an "mvex" for fragments).
std::string QtFile(const std::string& payload, std::vector<QtWriterTrack> tracks, bool relativeToPayload,
                   bool version1 = false, const std::string& moovTail = "");

}  // namespace oxltest
