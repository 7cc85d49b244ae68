// The few POSIX calls the shared test sources make, in their Windows form; included ahead
// of every source of the Windows test programs.
#ifndef HNVQR_WINDOWS_TESTS_POSIX_COMPAT_H
#define HNVQR_WINDOWS_TESTS_POSIX_COMPAT_H

#ifdef __cplusplus
#include <direct.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>

// The C runtime's environment is the one the DLLs read with getenv (msvcrt.dll is shared).
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// Replaces the trailing XXXXXX of `pattern` and creates that folder.
inline char* mkdtemp(char* pattern) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const size_t length = strlen(pattern);
    if (length < 6) return nullptr;
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (size_t i = length - 6; i < length; ++i) pattern[i] = kLetters[rand() % 36];
    if (_mkdir(pattern) == 0) return pattern;
  }
  return nullptr;
}
#endif

#endif
