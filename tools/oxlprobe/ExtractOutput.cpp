#include "ExtractOutput.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "ProbeError.h"

namespace oxlprobe {

ExtractOutput::ExtractOutput(const std::string& target, const MovieFile& movie) : m_Name(target) {
  if (target == "-") {
    m_File = stdout;
    m_Name = "standard output";
    return;
  }
  struct stat out {}, in {};
  if (::stat(target.c_str(), &out) == 0 && ::stat(movie.path().c_str(), &in) == 0 && out.st_dev == in.st_dev &&
      out.st_ino == in.st_ino) {
    throw ProbeError(Exit_Usage, target, "--extract would overwrite the movie itself");
  }
  m_File = std::fopen(target.c_str(), "wb");
  if (!m_File) throw ProbeError(Exit_CannotWrite, target, std::strerror(errno));
  m_bOwned = true;
}

ExtractOutput::~ExtractOutput() {
  if (m_bOwned) std::fclose(m_File);
}

void ExtractOutput::Write(const unsigned char* data, size_t size) {
  if (std::fwrite(data, 1, size, m_File) != size) Fail();
}

void ExtractOutput::Finish() {
  if (std::fflush(m_File) != 0 || std::ferror(m_File)) Fail();
}

void ExtractOutput::Fail() const { throw ProbeError(Exit_CannotWrite, m_Name, std::strerror(errno)); }

}  // namespace oxlprobe
