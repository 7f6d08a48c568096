#pragma once
// The frames of an MXF file of constant-size edit units (D-10/IMX, DV,
// AVC-Intra), read with the IMX video reader as a host would: --samples
// lists the edit units, --read and --extract deliver the pictures, forwards
// or backwards, from a time, and --follow keeps reading a file that is
// still being written.
#include "ClipIdentity.h"
#include "MovieFile.h"
#include "ProbeOptions.h"

namespace oxlprobe {

// Throws ProbeError: Exit_NoReader when the IMX reader cannot take the file
// (essence that is not constant-size edit units) or audio is asked for;
// Exit_ReadFailure when a frame cannot be read or a position reached.
void WalkMxfFrames(const MovieFile& file, const ClipIdentity& id, const ProbeOptions& options);

}  // namespace oxlprobe
