#include "support/QtMovieAtoms.h"

#include <fstream>

namespace oxltest {

std::string ReadFileBytes(const std::string& path, uint64_t offset, uint64_t size) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

}  // namespace oxltest
