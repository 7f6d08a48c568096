#include "PlainFileRead.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int64_t kMaxCall = 1 << 20;
constexpr int64_t kReadThroughGap = 64 << 10;

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

PlainFileRead::PlainFileRead(std::vector<ByteRange> ranges, bool copy) : m_Ranges(std::move(ranges)), m_bCopy(copy) {
  int64_t largest = 0;
  for (const ByteRange& range : m_Ranges) largest = std::max(largest, range.size);
  if (m_bCopy) m_Frame.resize(size_t(largest));
  for (size_t i = 0; i < m_Ranges.size(); ++i) {
    const bool near = i > 0 && m_Ranges[i].offset >= m_Ranges[i - 1].offset + m_Ranges[i - 1].size &&
                      m_Ranges[i].offset - (m_Ranges[i - 1].offset + m_Ranges[i - 1].size) < kReadThroughGap;
    if (near) {
      m_Spans.back().last = i + 1;
    } else {
      m_Spans.push_back({i, i + 1});
    }
  }
}

void PlainFileRead::ReadSpan(int fd, const Span& span, std::vector<unsigned char>& buffer, ByteSink& sink) const {
  const int64_t start = m_Ranges[span.first].offset;
  const int64_t end = m_Ranges[span.last - 1].offset + m_Ranges[span.last - 1].size;
  if (lseek(fd, start, SEEK_SET) != start) Fail("lseek");
  size_t sample = span.first;
  for (int64_t at = start; at < end;) {
    ssize_t got = read(fd, buffer.data(), size_t(std::min(end - at, kMaxCall)));
    if (got <= 0) Fail("read");
    const int64_t callEnd = at + got;
    // Hand over the parts of the samples that this call read.
    for (; sample < span.last && m_Ranges[sample].offset < callEnd; ++sample) {
      const ByteRange& range = m_Ranges[sample];
      const int64_t from = std::max(range.offset, at), to = std::min(range.offset + range.size, callEnd);
      Hand(range, buffer.data() + (from - at), from, to, sink);
      if (range.offset + range.size > callEnd) break;
    }
    at = callEnd;
  }
}

// The part [from, to) of the sample's bytes, just read into `part`.
void PlainFileRead::Hand(const ByteRange& range, const unsigned char* part, int64_t from, int64_t to, ByteSink& sink) const {
  if (!m_bCopy) return sink.Take(part, size_t(to - from));
  std::memcpy(m_Frame.data() + (from - range.offset), part, size_t(to - from));
  if (to == range.offset + range.size) sink.Take(m_Frame.data(), size_t(range.size));
}

void PlainFileRead::Read(const std::string& path, ByteSink& sink) const {
  FileDescriptor file{open(path.c_str(), O_RDONLY)};
  if (file.fd < 0) Fail("open");
  std::vector<unsigned char> buffer(kMaxCall);
  for (const auto& span : m_Spans) ReadSpan(file.fd, span, buffer, sink);
}
