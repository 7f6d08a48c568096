#pragma once
// Extension atoms of a video sample description ("avcC", "fiel", others).
#include <cstdint>
#include <list>
#include <memory>

#include "qelCore/Buffer.h"

namespace QTReader {

// The extension atom's four type bytes loaded unswapped (AtomType("avcC")).
using VideoSampleDescriptionExtensionsType = uint32_t;

class IVideoSampleDescriptionExtension {
 public:
  virtual ~IVideoSampleDescriptionExtension() = default;
  virtual VideoSampleDescriptionExtensionsType GetType() const = 0;
  // The atom's size as declared in its header.
  virtual uint32_t GetLength() const = 0;
};

// An extension kept by type and length only.
class VideoSampleDescriptionExtension : public IVideoSampleDescriptionExtension {
 public:
  VideoSampleDescriptionExtensionsType GetType() const override { return m_Type; }
  uint32_t GetLength() const override { return m_dwLength; }
  void SetType(VideoSampleDescriptionExtensionsType type) { m_Type = type; }
  void SetLength(uint32_t length) { m_dwLength = length; }

 private:
  VideoSampleDescriptionExtensionsType m_Type = 0;
  uint32_t m_dwLength = 0;
};

// The AVC decoder configuration record.
class VideoSampleDescriptionExtensionAvcc : public IVideoSampleDescriptionExtension {
 public:
  using ParameterSets = std::list<std::shared_ptr<const qel::IBuffer>>;

  VideoSampleDescriptionExtensionsType GetType() const override;
  uint32_t GetLength() const override { return m_dwLength; }
  // Bytes of the length field in front of each NAL unit (1, 2 or 4).
  unsigned int GetNalLengthSize() const { return m_NalLengthSizeMinusOne + 1u; }
  ParameterSets GetSequenceParameterSets() const { return m_SequenceParameterSets; }
  ParameterSets GetPictureParameterSets() const { return m_PictureParameterSets; }
  void SetLength(uint32_t length) { m_dwLength = length; }
  void SetNalLengthSizeMinusOne(uint8_t value) { m_NalLengthSizeMinusOne = value; }
  void SetSequenceParameterSets(ParameterSets sets) { m_SequenceParameterSets = std::move(sets); }
  void SetPictureParameterSets(ParameterSets sets) { m_PictureParameterSets = std::move(sets); }

 private:
  uint32_t m_dwLength = 0;
  uint8_t m_NalLengthSizeMinusOne = 0;
  ParameterSets m_SequenceParameterSets;
  ParameterSets m_PictureParameterSets;
};

// Field handling: count 1 progressive, 2 interlaced; ordering as stored.
class VideoSampleDescriptionExtensionFiel : public IVideoSampleDescriptionExtension {
 public:
  VideoSampleDescriptionExtensionsType GetType() const override;
  uint32_t GetLength() const override { return m_dwLength; }
  virtual void SetFieldCount(uint8_t count) { m_FieldCount = count; }
  virtual void SetFieldOrdering(uint8_t ordering) { m_FieldOrdering = ordering; }
  virtual uint8_t GetFieldCount() const { return m_FieldCount; }
  virtual uint8_t GetFieldOrdering() const { return m_FieldOrdering; }
  void SetLength(uint32_t length) { m_dwLength = length; }

 private:
  uint32_t m_dwLength = 0;
  uint8_t m_FieldCount = 0;
  uint8_t m_FieldOrdering = 0;
};

// Placeholder for "esds" as an extension: the "mp4v" description reads its
// esds itself, so this is never built by the deserializer. Both operations
// throw std::runtime_error.
class VideoSampleDescriptionExtensionEsds : public IVideoSampleDescriptionExtension {
 public:
  VideoSampleDescriptionExtensionsType GetType() const override;
  uint32_t GetLength() const override;
};

}  // namespace QTReader
