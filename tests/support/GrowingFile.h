#pragma once
// A live recording replayed: a finished file written again piece by piece,
// so that readers can be tested on a file that grows while they read it.
#include <cstdint>
#include <string>
#include <vector>

namespace oxltest {

// A fragmented MP4 file cut at its movie fragments.
struct FragmentedLayout {
  struct Fragment {
    uint64_t offset = 0;  // of its "moof" in the file
    std::string bytes;    // the "moof" and every atom up to the next "moof" (its "mdat", a closing "mfra")
  };
  std::string head;  // every atom before the first "moof"
  std::vector<Fragment> fragments;
};

// Throws std::runtime_error for a file whose top-level atoms do not add up,
// or that has no "moof".
FragmentedLayout SplitFragments(const std::string& bytes);

// Every byte of the file at `path` (empty when it cannot be read).
std::string ReadWholeFile(const std::string& path);

class GrowingFile {
 public:
  // Creates `path` holding `initial`.
  GrowingFile(std::string path, const std::string& initial);
  // Appends `bytes`, flushed to the file at once.
  void Append(const std::string& bytes) const;
  const std::string& path() const { return m_Path; }

 private:
  std::string m_Path;
};

}  // namespace oxltest
