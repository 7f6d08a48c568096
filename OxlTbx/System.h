#pragma once
// Video system compatibility: which systems share a time base, so that their
// timecodes can be compared and converted into each other.
//
// Groups: 1 alone, 2 alone, {3, 6} (50 Hz), {4, 7} (59.94 Hz drop frame),
// {5, 8} (59.94 Hz). Every other value, 9 included, belongs to the group {0}:
// such a system is compatible with system 0 only, not even with itself.
#include <vector>

#include "OxlTbx/VideoSystem.h"

class CSystem {
 public:
  // A small list of video systems, each held once.
  class CVideoSystemCollection {
   public:
    void Insert(OxlTbx::VideoSystem system);
    bool ContainVideoSystem(OxlTbx::VideoSystem system) const;
    const std::vector<OxlTbx::VideoSystem>& GetSystems() const { return m_Systems; }

   private:
    std::vector<OxlTbx::VideoSystem> m_Systems;
  };

  explicit CSystem(OxlTbx::VideoSystem system = OxlTbx::VS_Invalid) : m_System(system) {}

  OxlTbx::VideoSystem GetSystem() const { return m_System; }

  // The group of this system, in ascending order.
  CVideoSystemCollection GetCompatibleVideoSystems() const;
  // Whether `other` is in the group of this system.
  bool IsVideoSystemCompatible(OxlTbx::VideoSystem other) const;

  bool Is50Hz() const;    // compatible with PAL
  bool Is5994Hz() const;  // compatible with NTSC Drop
  bool Is60Hz() const;    // compatible with NTSC No Drop
  // Any value above 5 (the progressive systems, and 9).
  bool IsHIResProgressive() const;
  // 0 stays 0; values below 6 gain 3 (PAL -> Field-PAL, ...); others stay.
  OxlTbx::VideoSystem GetHiResProgressiveSystem() const;
  // 0 stays 0; values from 6 lose 3 (Field-PAL -> PAL, ...); others stay.
  OxlTbx::VideoSystem GetLowResProgressiveSystem() const;

 private:
  OxlTbx::VideoSystem m_System;
};
