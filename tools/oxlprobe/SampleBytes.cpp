#include "SampleBytes.h"

#include <algorithm>

#include "ProbeError.h"

namespace oxlprobe {
namespace {

constexpr size_t kPiece = 1 << 20;

std::string Range(uint64_t offset, uint64_t size) {
  return "bytes " + std::to_string(offset) + " to " + std::to_string(offset + size);
}

}  // namespace

SampleBytes::SampleBytes() : m_Piece(kPiece) {}
SampleBytes::~SampleBytes() = default;

COXLFileReader& SampleBytes::Reader(const std::string& path) {
  std::unique_ptr<COXLFileReader>& reader = m_Readers[path];
  if (!reader) reader.reset(OXLAccessHandler::CreateFileReader(path.c_str(), 0, "oxlprobe"));
  if (!reader) {
    m_Readers.erase(path);
    throw ProbeError(Exit_CannotOpen, path, "cannot open the file holding the samples");
  }
  return *reader;
}

std::string SampleBytes::Md5Of(const std::string& path, uint64_t offset, uint64_t size) {
  COXLFileReader& reader = Reader(path);
  const uint64_t fileSize = reader.GetFileSize();
  if (offset > fileSize || size > fileSize - offset) {
    throw ProbeError(Exit_ReadFailure, path,
                     "truncated: " + Range(offset, size) + " lie beyond the end (" + std::to_string(fileSize) +
                         " bytes)");
  }
  unsigned long position = offset;
  if (reader.SetFilePointer(position) != 0 || position != offset) {
    throw ProbeError(Exit_ReadFailure, path, "cannot seek to byte " + std::to_string(offset));
  }
  for (uint64_t left = size; left > 0;) {
    const unsigned int want = static_cast<unsigned int>(std::min<uint64_t>(left, kPiece));
    unsigned int got = 0;
    if (reader.ReadFile(m_Piece.data(), want, &got) != 0 || got == 0) {
      throw ProbeError(Exit_ReadFailure, path, "read failed in " + Range(offset, size));
    }
    m_Md5.Update(m_Piece.data(), got);
    left -= std::min<uint64_t>(got, left);
  }
  return m_Md5.Hex();
}

}  // namespace oxlprobe
