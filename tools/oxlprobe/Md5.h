#pragma once
// MD5 of a byte stream fed in pieces, as the lowercase hex text that
// ffprobe's -show_data_hash md5 prints (without its "MD5:" prefix).
// OpenSSL's digest does the work: a maintained, widely checked implementation.
#include <cstddef>
#include <string>

struct evp_md_ctx_st;

namespace oxlprobe {

class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  void Update(const void* data, size_t size);
  // The digest of everything fed since construction or the last Hex; starts anew.
  std::string Hex();

 private:
  evp_md_ctx_st* m_Context;
};

}  // namespace oxlprobe
