// The description of the last error recorded for a session (or for this thread with
// VI_NULL), read through the public API; the tests compare it character for character.
#pragma once

#include <string>

#include "HnVQR.h"

namespace test_support {

inline std::string LastError(ViSession vi) {
  ViStatus code = 0;
  ViChar text[1024] = {};
  HnVQR_GetError(vi, &code, sizeof text, text);
  return text;
}

}  // namespace test_support
