#include "Md5.h"

#include <openssl/evp.h>

#include <new>

namespace oxlprobe {

Md5::Md5() : m_Context(EVP_MD_CTX_new()) {
  if (!m_Context || EVP_DigestInit_ex(m_Context, EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(m_Context);
    throw std::bad_alloc();
  }
}

Md5::~Md5() { EVP_MD_CTX_free(m_Context); }

void Md5::Update(const void* data, size_t size) {
  if (size) EVP_DigestUpdate(m_Context, data, size);
}

std::string Md5::Hex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(m_Context, digest, &length);
  EVP_DigestInit_ex(m_Context, EVP_md5(), nullptr);
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

}  // namespace oxlprobe
