#pragma once
// The summary of an MXF file, opened with the MXF reader directly (the
// reader factory builds no MXF reader on this platform): identification's
// file type and video data type, operational
// pattern, partitions, packages and tracks, timing, the picture
// descriptor's video information and the descriptive metadata.
#include <string>

#include <nlohmann/json.hpp>

#include "ClipIdentity.h"
#include "MovieFile.h"

namespace oxlprobe {

// True when the file starts with an MXF header partition pack, or has the
// extension ".mxf".
bool IsMxfFile(const MovieFile& file);

// Throws ProbeError: Exit_NotRecognised when no MXF header partition is
// found or the file is OP1b; Exit_ReadFailure when it is damaged.
nlohmann::ordered_json SummarizeMxf(const MovieFile& file, const ClipIdentity& id);

// The readable form of a SummarizeMxf value.
std::string MxfSummaryText(const nlohmann::ordered_json& summary);

}  // namespace oxlprobe
