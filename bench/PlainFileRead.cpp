#include "PlainFileRead.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int64_t kMaxCall = 1 << 20;

[[noreturn]] void Fail(const char* step) {
  throw std::runtime_error(std::string("read: ") + step + ": " + std::strerror(errno));
}

// Closes the file however reading ends.
struct FileDescriptor {
  int fd;
  ~FileDescriptor() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

PlainFileRead::PlainFileRead(const std::vector<AvformatBenchReader::ByteRange>& ranges) {
  for (const auto& range : ranges) {
    if (!m_Spans.empty() && m_Spans.back().offset + m_Spans.back().size == range.offset) {
      m_Spans.back().size += range.size;
    } else {
      m_Spans.push_back(range);
    }
  }
}

void PlainFileRead::ReadSpan(int fd, const AvformatBenchReader::ByteRange& span, std::vector<unsigned char>& buffer,
                             ByteSink& sink) const {
  if (lseek(fd, span.offset, SEEK_SET) != span.offset) Fail("lseek");
  for (int64_t left = span.size; left > 0;) {
    ssize_t got = read(fd, buffer.data(), size_t(std::min(left, kMaxCall)));
    if (got <= 0) Fail("read");
    sink.Take(buffer.data(), size_t(got));
    left -= got;
  }
}

void PlainFileRead::Read(const std::string& path, ByteSink& sink) const {
  FileDescriptor file{open(path.c_str(), O_RDONLY)};
  if (file.fd < 0) Fail("open");
  std::vector<unsigned char> buffer(kMaxCall);
  for (const auto& span : m_Spans) ReadSpan(file.fd, span, buffer, sink);
}
