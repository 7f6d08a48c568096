#include "OXLDataReader/OXL_QuickTime/VideoSampleDescriptionExtension.h"

#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"

namespace QTReader {
namespace {
[[noreturn]] void NotImplemented() { throw std::runtime_error("The method or operation is not implemented."); }
}  // namespace

VideoSampleDescriptionExtensionsType VideoSampleDescriptionExtensionAvcc::GetType() const { return AtomType("avcC"); }
VideoSampleDescriptionExtensionsType VideoSampleDescriptionExtensionFiel::GetType() const { return AtomType("fiel"); }
VideoSampleDescriptionExtensionsType VideoSampleDescriptionExtensionEsds::GetType() const { NotImplemented(); }
uint32_t VideoSampleDescriptionExtensionEsds::GetLength() const { NotImplemented(); }

}  // namespace QTReader
