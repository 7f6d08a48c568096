#include "support/QtMovieAtoms.h"

#include <fstream>
#include <memory>
#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLFileAccess/SimpleFileReader.h"

namespace oxltest {
namespace {

using QTReader::AtomType;
using QTUtils::Read32;
using QTUtils::Read64;

// A reader that only loads the movie atom through the stream walk.
class MoovLoader : public CQTAtomStreamReader {
 public:
  MoovLoader() : CQTAtomStreamReader(OXLDataReader::Other_Data, 4096, "test") {}
  std::string Load(const std::string& path) {
    auto* file = new SimpleFileReader();
    if (file->OpenFile(path.c_str(), 0) != 0) {
      delete file;
      throw std::runtime_error("cannot open " + path);
    }
    Open(file, false);
    if (!FindMoovAtom()) throw std::runtime_error("no moov in " + path);
    const uint32_t size = Read32(GetCurrent());
    if (!LoadWholeAtom(size)) throw std::runtime_error("moov cut in " + path);
    return std::string(reinterpret_cast<const char*>(GetCurrent()), size);
  }

 protected:
  int Initialize(bool) override { return 0; }
};

const unsigned char* Bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

template <typename Visit>
void Children(const unsigned char* atom, uint64_t size, Visit&& visit) {
  QTReader::ForEachChildAtom(atom, size, [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
    visit(child, type, childSize);
    return true;
  });
}

void ReadTkhd(const unsigned char* p, QtTrackAtoms& track) {
  const bool v1 = p[8] == 1;
  track.trackId = Read32(p + (v1 ? 28 : 20));
  track.trackDuration = v1 ? Read64(p + 36) : Read32(p + 28);
}

void ReadElst(const unsigned char* p, QtTrackAtoms& track) {
  const bool v1 = p[8] == 1;
  const uint32_t count = Read32(p + 12);
  const unsigned char* entry = p + 16;
  for (uint32_t i = 0; i < count; ++i, entry += v1 ? 20 : 12) {
    QtEdit edit;
    edit.segmentDuration = v1 ? Read64(entry) : Read32(entry);
    edit.mediaTime = v1 ? int64_t(Read64(entry + 8)) : int32_t(Read32(entry + 4));
    track.edits.push_back(edit);
  }
}

void ReadMdia(const unsigned char* mdia, uint32_t size, QtTrackAtoms& track) {
  Children(mdia, size, [&](const unsigned char* p, uint32_t type, uint32_t childSize) {
    if (type == AtomType("mdhd")) {
      const bool v1 = p[8] == 1;
      track.mediaTimescale = Read32(p + (v1 ? 28 : 20));
      track.mediaDuration = v1 ? Read64(p + 32) : Read32(p + 24);
    } else if (type == AtomType("hdlr")) {
      track.handler.assign(reinterpret_cast<const char*>(p + 16), 4);
    } else if (type == AtomType("minf")) {
      const unsigned char* stbl = nullptr;
      uint32_t stblSize = 0;
      if (QTReader::FindChildAtom(p, childSize, AtomType("stbl"), stbl, stblSize))
        track.stbl.assign(reinterpret_cast<const char*>(stbl), stblSize);
    }
  });
}

}  // namespace

const QtTrackAtoms& QtMovieAtoms::Track(const std::string& handler) const {
  for (const auto& track : tracks)
    if (track.handler == handler) return track;
  throw std::runtime_error("no " + handler + " track");
}

QtMovieAtoms ReadMovieAtoms(const std::string& path) {
  MoovLoader loader;
  const std::string moov = loader.Load(path);
  QtMovieAtoms movie;
  Children(Bytes(moov), moov.size(), [&](const unsigned char* p, uint32_t type, uint32_t size) {
    if (type == AtomType("mvhd")) movie.movieTimescale = Read32(p + (p[8] == 1 ? 28 : 20));
    if (type != AtomType("trak")) return;
    QtTrackAtoms track;
    Children(p, size, [&](const unsigned char* c, uint32_t childType, uint32_t childSize) {
      if (childType == AtomType("tkhd")) ReadTkhd(c, track);
      if (childType == AtomType("mdia")) ReadMdia(c, childSize, track);
      if (childType == AtomType("edts")) {
        const unsigned char* elst = nullptr;
        uint32_t elstSize = 0;
        if (QTReader::FindChildAtom(c, childSize, AtomType("elst"), elst, elstSize)) ReadElst(elst, track);
      }
    });
    movie.tracks.push_back(track);
  });
  return movie;
}

std::string ReadFileBytes(const std::string& path, uint64_t offset, uint64_t size) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

}  // namespace oxltest
