#pragma once
// A fresh directory per test, removed with everything in it when the test ends.
#include <string>

namespace oxltest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_Path; }
  // Path of `name` inside the directory (UTF-8).
  std::string file(const std::string& name) const { return m_Path + "/" + name; }
  // Writes `bytes` to `name` inside the directory and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;

 private:
  std::string m_Path;
};

}  // namespace oxltest
