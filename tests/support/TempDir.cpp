#include "support/TempDir.h"

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace fs = boost::filesystem;

namespace oxltest {

TempDir::TempDir() {
  const char* root = std::getenv("OXL_TEST_TMP");
  const fs::path dir = (root ? fs::path(root) : fs::temp_directory_path()) / fs::unique_path("oxl-%%%%-%%%%-%%%%");
  fs::create_directories(dir);
  m_Path = dir.string();
}

TempDir::~TempDir() {
  boost::system::error_code ec;
  fs::permissions(m_Path, fs::owner_all, ec);
  fs::remove_all(m_Path, ec);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  const std::string p = file(name);
  if (!std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    throw std::runtime_error("cannot write test file " + p);
  return p;
}

}  // namespace oxltest
