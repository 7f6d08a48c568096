#pragma once
// --read and --extract: what the reader delivers to a host, through
// GetNextData (or GetPrevData with --reverse), from the start, the end or
// --seek. For long-GOP video one delivery is a sync sample and the samples
// up to the next one, exactly as a host receives it.
#include "MovieFile.h"
#include "ProbeOptions.h"

namespace oxlprobe {

// Lists each delivery (index, time, size and, with --md5, md5) when
// --read is given, and writes the delivered bytes one after another to the
// --extract output. Throws ProbeError; a walk that ends before the track's
// last (or, backwards, first) sample fails as a read failure.
void WalkDeliveries(const MovieFile& movie, const ProbeOptions& options);

}  // namespace oxlprobe
