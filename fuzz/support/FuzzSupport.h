#pragma once
// What every fuzz target shares: a quiet logger, the check that an exception
// is one the operation documents, and small input helpers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <exception>
#include <string>

namespace oxlfuzz {

// Installs a logger writer that drops every line: readers log each damaged
// structure at error level, which would flood the output and slow the run.
void SilenceLogging();

// Writes the input to `name` in this process's folder of /dev/shm and
// returns its path, for what only reads files by path (identification, the
// reader of a movie's fragments).
std::string WriteInputFile(const uint8_t* data, size_t size, const std::string& name);

// Reports an exception the operation does not document and aborts, so that
// libFuzzer records the input as a crash.
[[noreturn]] void Undocumented(const char* operation, const std::exception* e);

}  // namespace oxlfuzz

// Runs `body`; an exception of the documented type `Allowed` is part of the
// operation's contract, any other is a finding.
#define OXL_FUZZ_ALLOW(Allowed, operation, ...)           \
  try {                                                    \
    __VA_ARGS__;                                           \
  } catch (const Allowed&) {                               \
  } catch (const std::exception& e) {                      \
    oxlfuzz::Undocumented(operation, &e);                  \
  } catch (...) {                                          \
    oxlfuzz::Undocumented(operation, nullptr);             \
  }

// The same for an operation documented not to throw at all.
#define OXL_FUZZ_NOTHROW(operation, ...)                   \
  try {                                                    \
    __VA_ARGS__;                                           \
  } catch (const std::exception& e) {                      \
    oxlfuzz::Undocumented(operation, &e);                  \
  } catch (...) {                                          \
    oxlfuzz::Undocumented(operation, nullptr);             \
  }
