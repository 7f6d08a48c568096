#include "OxlTbx/System.h"

#include <algorithm>

using OxlTbx::VideoSystem;

namespace {

// The lowest member of the group of `system`; 0 for the group {0}.
unsigned int GroupOf(uint32_t system) {
  if (system >= 1 && system <= 5) return system;
  if (system >= 6 && system <= 8) return system - 3;
  return 0;
}

}  // namespace

void CSystem::CVideoSystemCollection::Insert(VideoSystem system) {
  if (!ContainVideoSystem(system)) m_Systems.push_back(system);
}

bool CSystem::CVideoSystemCollection::ContainVideoSystem(VideoSystem system) const {
  return std::find(m_Systems.begin(), m_Systems.end(), system) != m_Systems.end();
}

CSystem::CVideoSystemCollection CSystem::GetCompatibleVideoSystems() const {
  CVideoSystemCollection systems;
  const unsigned int group = GroupOf(m_System);
  if (group == 0) {
    systems.Insert(OxlTbx::VS_Invalid);
    return systems;
  }
  for (uint32_t s = 1; s <= 8; ++s) {
    if (GroupOf(s) == group) systems.Insert(static_cast<VideoSystem>(s));
  }
  return systems;
}

bool CSystem::IsVideoSystemCompatible(VideoSystem other) const {
  // Same answer as GetCompatibleVideoSystems().ContainVideoSystem(other),
  // without building the list: comparisons of timecodes call this often.
  const unsigned int group = GroupOf(m_System);
  return group == 0 ? other == OxlTbx::VS_Invalid : GroupOf(other) == group;
}

bool CSystem::Is50Hz() const { return IsVideoSystemCompatible(OxlTbx::VS_PAL); }

bool CSystem::Is5994Hz() const { return IsVideoSystemCompatible(OxlTbx::VS_NTSCDrop); }

bool CSystem::Is60Hz() const { return IsVideoSystemCompatible(OxlTbx::VS_NTSCNoDrop); }

bool CSystem::IsHIResProgressive() const { return m_System > 5; }

VideoSystem CSystem::GetHiResProgressiveSystem() const {
  if (m_System == OxlTbx::VS_Invalid || m_System >= 6) return m_System;
  return static_cast<VideoSystem>(m_System + 3);
}

VideoSystem CSystem::GetLowResProgressiveSystem() const {
  if (m_System < 6) return m_System;
  return static_cast<VideoSystem>(m_System - 3);
}
