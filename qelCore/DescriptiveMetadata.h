#pragma once
// Typed views of the descriptive-metadata families a reader hands to the
// host: AMWA AS-11 core (family 2), UK DPP AS-11 (family 3) and the camera's
// non-real-time XML (family 4). CreateMetadata of those families returns an
// object of the matching interface (std::dynamic_pointer_cast reaches it).
//
// Every typed property is kept as a named text property of the metadata
// object, so a host that lists GetProperties() sees all of them: wide
// strings as UTF-8, numbers in decimal, booleans as "true" or "false". A
// getter returns what its setter stored; a property never set reads as an
// empty string, 0 or false (HasProperty tells the two apart).
#include <cstdint>
#include <string>
#include <type_traits>

#include "qelCore/MediaDescription.h"

namespace qel {
namespace metadata_text {

std::string FromWide(const std::wstring& text);
std::wstring ToWide(const std::string& text);
unsigned long ToNumber(const std::string& text);

template <typename T>
std::string ToText(const T& value) {
  if constexpr (std::is_same_v<T, std::wstring>)
    return FromWide(value);
  else if constexpr (std::is_same_v<T, std::string>)
    return value;
  else if constexpr (std::is_same_v<T, bool>)
    return value ? "true" : "false";
  else
    return std::to_string(static_cast<unsigned long>(value));
}

template <typename T>
T FromText(const std::string& text) {
  if constexpr (std::is_same_v<T, std::wstring>)
    return ToWide(text);
  else if constexpr (std::is_same_v<T, std::string>)
    return text;
  else if constexpr (std::is_same_v<T, bool>)
    return text == "true";
  else
    return static_cast<T>(ToNumber(text));
}

}  // namespace metadata_text
}  // namespace qel

#define QEL_METADATA_ACCESSORS(Name, Type)                                                             \
  void Set##Name(const Type& value) { SetProperty(#Name, ::qel::metadata_text::ToText<Type>(value)); } \
  Type Get##Name() const { return ::qel::metadata_text::FromText<Type>(GetProperty(#Name)); }

// Properties in the order a reader sets them.
#define QEL_AS11_CORE_PROPERTIES(X)  \
  X(SeriesTitle, std::wstring)        \
  X(ProgrammeTitle, std::wstring)     \
  X(EpisodeTitleNumber, std::wstring) \
  X(AudioTrackLayout, uint8_t)        \
  X(PrimaryAudioLanguage, std::wstring) \
  X(ClosedCaptionsPresent, bool)      \
  X(ClosedCaptionsType, uint8_t)      \
  X(ClosedCaptionsLanguage, std::wstring)

// IdentClockStartSeconds is the ident clock's position in whole seconds;
// IdentClockDurationSeconds the whole seconds from it to 10:00:00:00.
#define QEL_AS11_UKDPP_PROPERTIES(X)       \
  X(ProductionNumber, std::wstring)         \
  X(Synopsis, std::wstring)                 \
  X(Originator, std::wstring)               \
  X(CopyrightYear, uint16_t)                \
  X(OtherIdentifier, std::wstring)          \
  X(OtherIdentifierType, std::wstring)      \
  X(Genre, std::wstring)                    \
  X(Distributor, std::wstring)              \
  X(PictureRatioNumerator, uint32_t)        \
  X(PictureRatioDenominator, uint32_t)      \
  X(3D, bool)                               \
  X(3DType, uint8_t)                        \
  X(ProductPlacement, bool)                 \
  X(FPAPass, uint8_t)                       \
  X(FPAManufacturer, std::wstring)          \
  X(FPAVersion, std::wstring)               \
  X(VideoComments, std::wstring)            \
  X(SecondaryAudioLanguage, std::wstring)   \
  X(TertiaryAudioLanguage, std::wstring)    \
  X(AudioLoudnessStandard, uint8_t)         \
  X(AudioComments, std::wstring)            \
  X(IdentClockStartSeconds, uint32_t)       \
  X(IdentClockDurationSeconds, uint32_t)    \
  X(AudioDescriptionPresent, bool)          \
  X(AudioDescriptionType, uint8_t)          \
  X(OpenCaptionsPresent, bool)              \
  X(OpenCaptionsType, uint8_t)              \
  X(OpenCaptionsLanguage, std::wstring)     \
  X(SigningPresent, uint8_t)                \
  X(SignLanguage, uint8_t)                  \
  X(CompletionYear, uint16_t)               \
  X(CompletionMonth, uint8_t)               \
  X(CompletionDay, uint8_t)                 \
  X(TextlessElementsExist, bool)            \
  X(ProgrammeHasText, bool)                 \
  X(ProgrammeTextLanguage, std::wstring)    \
  X(ContactEmail, std::wstring)             \
  X(ContactTelephoneNumber, std::wstring)

#define QEL_SONY_NRT_PROPERTIES(X) X(VideoCodec, std::string)

namespace qel {

class IMetadata_As11Core : public IMetadata {
 public:
  QEL_AS11_CORE_PROPERTIES(QEL_METADATA_ACCESSORS)
};

class IMetadata_As11UkDpp : public IMetadata {
 public:
  QEL_AS11_UKDPP_PROPERTIES(QEL_METADATA_ACCESSORS)
};

class IMetadata_SonyNonRealTimeMetaData : public IMetadata {
 public:
  QEL_SONY_NRT_PROPERTIES(QEL_METADATA_ACCESSORS)
};

}  // namespace qel
