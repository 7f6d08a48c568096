#include "OXLDataReader/OXL_QuickTime/VideoSampleDescriptionExtensionDeserializer.h"

#include <algorithm>
#include <cstring>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

namespace QTReader {
namespace {

// The fields after an extension's header, up to its declared length within the bytes given.
struct AtomBody {
  AtomBody(const unsigned char* buffer, unsigned int size)
      : length(QTUtils::Read32(buffer)), cursor(buffer + 8), end(buffer + std::min<uint64_t>(size, length)) {}
  uint32_t length;
  const unsigned char* cursor;
  const unsigned char* end;
};

VideoSampleDescriptionExtensionAvcc::ParameterSets ReadParameterSets(const unsigned char*& cursor,
                                                                     const unsigned char* end, unsigned int count) {
  VideoSampleDescriptionExtensionAvcc::ParameterSets sets;
  for (unsigned int i = 0; i < count; ++i) {
    unsigned short length = 0;
    QTUtils::read(cursor, end, length);
    const unsigned char* data = cursor;
    QTUtils::skip(cursor, end, length);
    auto set = qel::CreateBuffer();
    if (!set || !set->Resize(length)) throw std::bad_alloc();
    if (length) std::memcpy(set->GetData(), data, length);
    sets.push_back(std::move(set));
  }
  return sets;
}

std::shared_ptr<const IVideoSampleDescriptionExtension> DeserializeAvcc(AtomBody body) {
  const unsigned char*& cursor = body.cursor;
  const unsigned char* end = body.end;
  unsigned char version, profile, compatibility, level, nalLength, spsCount, ppsCount;
  QTUtils::read(cursor, end, version);
  QTUtils::read(cursor, end, profile);
  QTUtils::read(cursor, end, compatibility);
  QTUtils::read(cursor, end, level);
  QTUtils::read(cursor, end, nalLength);
  QTUtils::read(cursor, end, spsCount);
  auto avcc = std::make_shared<VideoSampleDescriptionExtensionAvcc>();
  avcc->SetLength(body.length);
  avcc->SetNalLengthSizeMinusOne(nalLength & 0x03);
  avcc->SetSequenceParameterSets(ReadParameterSets(cursor, end, spsCount & 0x1F));
  QTUtils::read(cursor, end, ppsCount);
  avcc->SetPictureParameterSets(ReadParameterSets(cursor, end, ppsCount));
  return avcc;
}

std::shared_ptr<const IVideoSampleDescriptionExtension> DeserializeFiel(AtomBody body) {
  unsigned char count = 0, ordering = 0;
  QTUtils::read(body.cursor, body.end, count);
  QTUtils::read(body.cursor, body.end, ordering);
  auto fiel = std::make_shared<VideoSampleDescriptionExtensionFiel>();
  fiel->SetLength(body.length);
  fiel->SetFieldCount(count);
  fiel->SetFieldOrdering(ordering);
  return fiel;
}

}  // namespace

std::shared_ptr<const IVideoSampleDescriptionExtension> DeserializeVideoSampleDescriptionExtension(
    const unsigned char* buffer, unsigned int size) {
  const uint32_t type = GetTypeFromAtomBuffer(buffer, size);
  if (type == AtomType("avcC")) return DeserializeAvcc(AtomBody(buffer, size));
  if (type == AtomType("fiel")) return DeserializeFiel(AtomBody(buffer, size));
  auto other = std::make_shared<VideoSampleDescriptionExtension>();
  other->SetType(type);
  other->SetLength(GetLengthFromAtomBuffer(buffer, size));
  return other;
}

std::shared_ptr<const IVideoSampleDescriptionExtension> DeserializeVideoSampleDescriptionExtension(
    const std::shared_ptr<const qel::IBuffer>& buffer) {
  return DeserializeVideoSampleDescriptionExtension(buffer->GetData(), static_cast<unsigned int>(buffer->GetSize()));
}

}  // namespace QTReader
