#pragma once
// CQTAtomStreamReader: the atom walks of QuickTime readers over the base
// reader's buffered file window.
//
// QuickTime readers derive from it to walk top-level atoms, the children of
// "moov" and movie fragments without holding the whole file in memory: an
// atom is either loaded whole (LoadWholeAtom) or skipped by its size.
#include <cstdint>
#include <functional>

#include "OXLDataReader/OXLDataReader.h"
#include "OXLDataReader/OXL_QuickTime/QTAtom.h"

class CQTAtomStreamReader : public COXLDataReader {
 public:
  using COXLDataReader::COXLDataReader;

 protected:
  // What a walker does with the atom at the cursor.
  enum class AtomAction {
    Skip,      // step over it by its size
    Consumed,  // the action already moved the cursor past it
    Stop,      // end the walk here, cursor on the atom
    Fail,      // end the walk with failure
  };
  // Why a walk ended.
  enum class WalkEnd {
    EndOfData,  // no further 8-byte header could be had
    ZeroSize,   // an atom of 32-bit size 0
    BadSize,    // an atom of 32-bit size 1 to 7: too small for its own header
    Oversized,  // an atom larger than what was left of the walk's limit
    LimitReached,
    Stopped,
    Failed,     // the action failed, or the file could not be moved past an atom
  };
  using AtomActionFunction = std::function<AtomAction(uint32_t type, uint32_t size)>;

  // Walks the atoms from the cursor, calling `act` with each atom's type and
  // 32-bit size while its header is at the cursor. `limit` is the number of
  // bytes the walk may cover (the payload of a parent atom); the walk ends
  // when it is used up. Atoms are never taken to run to the end of the file:
  // a size of 0 ends the walk.
  //
  // With `overrunLast`, an atom larger than what is left is still handed to
  // `act` and the walk then ends as if the limit had been reached: a parent
  // whose size slightly understates its last child keeps that child.
  WalkEnd WalkAtoms(const AtomActionFunction& act, uint64_t limit = UINT64_MAX, bool overrunLast = false);

  // Atoms larger than this are never loaded whole: no movie header of a real
  // file comes near it (a day of 60 fps video needs some 60 MiB of tables).
  static constexpr uint32_t kMaxAtomInMemory = 256u << 20;

  // Makes the `size` bytes of the atom at the cursor available, growing the
  // window first when it is smaller than the atom. False, with nothing
  // allocated, when the atom claims more bytes than the file holds.
  bool LoadWholeAtom(uint32_t size);

  // Walks top-level atoms from the cursor until one of `type` is at the
  // cursor. Large atoms (32-bit size below 8, 64-bit size after the type)
  // are understood here; atoms bigger than the loaded window are passed by
  // moving the file position. False at the end of the data, on a 64-bit size
  // smaller than its 16-byte header, or when the file cannot be moved.
  bool FindTopLevelAtom(uint32_t type);
  bool FindMoovAtom() { return FindTopLevelAtom(QTReader::AtomType("moov")); }

  // File offset of the cursor.
  unsigned long GetCursorFileOffset() const;

 private:
  bool MovePast(uint64_t size);
};
