#pragma once
// The summary of a movie as one JSON value (its schema is in the README),
// and the readable text made from that same value.
#include <string>

#include <nlohmann/json.hpp>

#include "ClipIdentity.h"
#include "MovieFile.h"

namespace oxlprobe {

// Opens the movie (video reader, or audio reader without video) and gathers,
// beside what `id` tells (file type, video data type, the factory's reader,
// the clip's files), the tracks, video description and system, in and
// out points, start timecode and audio streams. Throws ProbeError; a track
// whose samples run past the end of the file fails as truncated.
nlohmann::ordered_json SummarizeMovie(const MovieFile& movie, const ClipIdentity& id);

// The readable form of a SummarizeMovie value.
std::string SummaryText(const nlohmann::ordered_json& summary);

}  // namespace oxlprobe
