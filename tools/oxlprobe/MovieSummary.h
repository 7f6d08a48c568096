#pragma once
// The summary of a movie as one JSON value (its schema is in the README),
// and the readable text made from that same value.
#include <string>

#include <nlohmann/json.hpp>

#include "MovieFile.h"

namespace oxlprobe {

// Opens the movie (video reader, or audio reader without video) and gathers
// container, video data type, tracks, video description and system, in and
// out points, start timecode and audio streams. Throws ProbeError; a track
// whose samples run past the end of the file fails as truncated.
nlohmann::ordered_json SummarizeMovie(const MovieFile& movie);

// The readable form of a SummarizeMovie value.
std::string SummaryText(const nlohmann::ordered_json& summary);

}  // namespace oxlprobe
