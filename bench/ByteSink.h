#pragma once
// Where a benchmark reader puts the bytes it delivers. It counts them and,
// when asked, folds them into a 64-bit FNV-1a hash, so that a checked run can
// show that two readers delivered the same bytes in the same order. Timed runs
// leave hashing off: it would cost more than the reading it watches.
#include <cstddef>
#include <cstdint>

class ByteSink {
 public:
  explicit ByteSink(bool hash) : m_bHash(hash) {}

  void Take(const unsigned char* data, size_t size);
  uint64_t Bytes() const { return m_qwBytes; }
  uint64_t Deliveries() const { return m_qwDeliveries; }
  uint64_t Hash() const { return m_qwHash; }

 private:
  bool m_bHash;
  uint64_t m_qwBytes = 0;
  uint64_t m_qwDeliveries = 0;
  uint64_t m_qwHash = 14695981039346656037ull;  // FNV-1a offset basis
};
