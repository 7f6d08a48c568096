#include "OXLFileAccess/LockableOxlFileReader.h"

#include <stdexcept>

LockableOxlFileReader::LockableOxlFileReader(std::shared_ptr<COXLFileReader> inner)
    : COXLFileReader(std::string()), m_Inner(std::move(inner)) {
  if (!m_Inner) throw std::invalid_argument("LockableOxlFileReader needs a file reader to wrap");
}
