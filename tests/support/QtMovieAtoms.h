#pragma once
// Raw bytes of a file, for tests that damage or compare movies.
#include <cstdint>
#include <string>

namespace oxltest {

// The `size` bytes at `offset` of the file (fewer at its end).
std::string ReadFileBytes(const std::string& path, uint64_t offset, uint64_t size);

}  // namespace oxltest
