#include "ByteSink.h"

void ByteSink::Take(const unsigned char* data, size_t size) {
  m_qwBytes += size;
  ++m_qwDeliveries;
  if (!m_bHash) return;
  for (size_t i = 0; i < size; ++i) {
    m_qwHash ^= data[i];
    m_qwHash *= 1099511628211ull;  // FNV-1a prime
  }
}
