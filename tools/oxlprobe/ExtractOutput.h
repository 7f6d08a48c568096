#pragma once
// The --extract target: a file, or standard output for "-". Every failure to
// write is a ProbeError (Exit_CannotWrite) naming the target.
#include <cstdio>
#include <string>

#include "MovieFile.h"

namespace oxlprobe {

class ExtractOutput {
 public:
  // Refuses (Exit_Usage) a target that is the probed file itself.
  ExtractOutput(const std::string& target, const MovieFile& movie);
  ~ExtractOutput();
  ExtractOutput(const ExtractOutput&) = delete;
  ExtractOutput& operator=(const ExtractOutput&) = delete;

  void Write(const unsigned char* data, size_t size);
  void Finish();

 private:
  [[noreturn]] void Fail() const;

  std::string m_Name;
  std::FILE* m_File = nullptr;
  bool m_bOwned = false;
};

}  // namespace oxlprobe
