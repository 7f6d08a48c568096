#include "support/GrowingFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace oxltest {
namespace {

uint64_t Be(const std::string& bytes, size_t at, size_t count) {
  if (at + count > bytes.size()) throw std::runtime_error("field past the end of the file");
  uint64_t v = 0;
  for (size_t i = 0; i < count; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

struct Atom {
  size_t offset;
  size_t size;
  std::string type;
};

// The atoms of bytes [begin, end), which must fill it exactly.
std::vector<Atom> Atoms(const std::string& bytes, size_t begin, size_t end) {
  std::vector<Atom> atoms;
  while (begin < end) {
    const size_t size = Be(bytes, begin, 4);
    if (size < 8 || size > end - begin) throw std::runtime_error("atom sizes do not add up");
    atoms.push_back({begin, size, bytes.substr(begin + 4, 4)});
    begin += size;
  }
  return atoms;
}

}  // namespace

FragmentedLayout SplitFragments(const std::string& bytes) {
  FragmentedLayout layout;
  for (const Atom& atom : Atoms(bytes, 0, bytes.size())) {
    if (atom.type == "moof") layout.fragments.push_back({atom.offset, {}});
    std::string& into = layout.fragments.empty() ? layout.head : layout.fragments.back().bytes;
    into += bytes.substr(atom.offset, atom.size);
  }
  if (layout.fragments.empty()) throw std::runtime_error("no movie fragment");
  return layout;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

GrowingFile::GrowingFile(std::string path, const std::string& initial) : m_Path(std::move(path)) {
  if (!std::ofstream(m_Path, std::ios::binary)) throw std::runtime_error("cannot create " + m_Path);
  Append(initial);
}

void GrowingFile::Append(const std::string& bytes) const {
  std::FILE* file = std::fopen(m_Path.c_str(), "ab");
  if (!file) throw std::runtime_error("cannot append to " + m_Path);
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !ok) throw std::runtime_error("cannot write " + m_Path);
}

}  // namespace oxltest
