#pragma once
// A movie fragment known only by its "moof" offset and start time (from a
// fragment random-access table, or told by a host): the fragment is read
// from the media file the first time a sample question needs it, and every
// question is then answered by the movie-fragment sub-index built from it.
// The media file is read through a lockable file reader shared by every
// fragment of that file, so that reading never moves the data reader's own
// window. A fragment that cannot be read yet (a growing file) fails the
// question and is tried again at the next one.
#include <cstdint>
#include <memory>

#include "OXLDataReader/OXL_QuickTime/TrackFragments.h"
#include "OXLDataReader/OXL_QuickTime/TrackSubIndex.h"
#include "OXLFileAccess/LockableOxlFileReader.h"
#include "qelCore/EditRate.h"

// `moofOffset` is the fragment's position in the media file, `start` its
// first sample's time; nothing is read here.
std::shared_ptr<ITrackSubIndex> CreateReferenceMovieFragmentTrackIndex(const MediaTrackExtends& trex,
                                                                       qel::EditRate editRate,
                                                                       unsigned long moofOffset, qel::MediaTime start,
                                                                       unsigned int trackId,
                                                                       std::shared_ptr<LockableOxlFileReader> file);
// The same, delivering each run of uncompressed sound as one sample.
std::shared_ptr<ITrackSubIndex> CreateReferenceAudioPcmMovieFragmentTrackIndex(
    const MediaTrackExtends& trex, qel::EditRate editRate, unsigned long moofOffset, qel::MediaTime start,
    unsigned int trackId, std::shared_ptr<LockableOxlFileReader> file);
