#pragma once
// Reads the bytes of samples straight from the files that hold them (the
// movie or the files it references) to hash them, in bounded pieces so that
// a huge or bogus sample size never becomes a huge allocation.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Md5.h"
#include "oxl.h"

namespace oxlprobe {

class SampleBytes {
 public:
  SampleBytes();
  ~SampleBytes();

  // The MD5 (hex) of `size` bytes at `offset` of the file at `path`. Throws
  // ProbeError: Exit_CannotOpen when the file cannot be opened,
  // Exit_ReadFailure when the bytes lie beyond its end or a read fails.
  std::string Md5Of(const std::string& path, uint64_t offset, uint64_t size);

 private:
  COXLFileReader& Reader(const std::string& path);

  std::map<std::string, std::unique_ptr<COXLFileReader>> m_Readers;
  std::vector<unsigned char> m_Piece;
  Md5 m_Md5;
};

}  // namespace oxlprobe
