#pragma once
// Builds the extension object for one extension atom of a video sample
// description.
#include <memory>

#include "OXLDataReader/OXL_QuickTime/VideoSampleDescriptionExtension.h"
#include "qelCore/Buffer.h"

namespace QTReader {

// `buffer` holds the extension atom at its start and `size` bytes in all.
// "avcC" and "fiel" are parsed, reading nothing past `size` nor past the
// atom's declared length (QTUtils::unsuported_or_invalid otherwise); any
// other type is kept by type and declared length. A `size` below 8 fails
// ("Buffer size too small to read atom type").
std::shared_ptr<const IVideoSampleDescriptionExtension> DeserializeVideoSampleDescriptionExtension(
    const unsigned char* buffer, unsigned int size);
std::shared_ptr<const IVideoSampleDescriptionExtension> DeserializeVideoSampleDescriptionExtension(
    const std::shared_ptr<const qel::IBuffer>& buffer);

}  // namespace QTReader
