// Option strings of HnVQR_InitWithOptions: the input follows "Simulate=1," (so the session
// opens without an instrument) and is then tried alone. Whatever the text, an init either
// opens a session that closes again or fails and leaves no session and no store handle
// behind, and the recorded reason fits the caller's buffer.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "HnVQR.h"
#include "IviConfigServer.h"
#include "IviSessionServices.h"

namespace {

constexpr char kResource[] = "GPIB0::5::INSTR";

// The thread's error after a failed init: its size is asked first (which keeps it), then it
// is read, and so cleared, into a buffer of exactly `size` bytes.
void ReadThreadError(std::size_t size) {
  ViStatus code = 0;
  const ViStatus needed = HnVQR_GetError(VI_NULL, &code, 0, nullptr);
  FUZZ_CHECK(needed >= 1);
  std::string buffer(size + 1, '\x7f');  // one guard byte past the caller's buffer
  const ViStatus status = HnVQR_GetError(VI_NULL, &code, static_cast<ViInt32>(size), buffer.data());
  FUZZ_CHECK(buffer[size] == '\x7f');
  FUZZ_CHECK(std::memchr(buffer.data(), '\0', size) != nullptr);
  FUZZ_CHECK(status == (static_cast<std::size_t>(needed) > size ? needed : VI_SUCCESS));
}

void ReadSessionStrings(ViSession vi) {
  static constexpr ViAttr kStrings[] = {HNVQR_ATTR_DRIVER_SETUP, HNVQR_ATTR_INSTRUMENT_MODEL,
                                        HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR, HNVQR_ATTR_LOGICAL_NAME};
  for (const ViAttr id : kStrings) {
    char small[8];
    (void)HnVQR_GetAttributeViString(vi, "", id, static_cast<ViInt32>(sizeof small), small);
    std::string value(HNVQR_MAX_STRING_ATTRIBUTE_LENGTH, '\0');
    (void)HnVQR_GetAttributeViString(vi, "", id, static_cast<ViInt32>(value.size()), value.data());
  }
  ViBoolean flag = VI_FALSE;
  (void)HnVQR_GetAttributeViBoolean(vi, "", HNVQR_ATTR_SIMULATE, &flag);
  (void)HnVQR_GetAttributeViBoolean(vi, "", HNVQR_ATTR_RANGE_CHECK, &flag);
}

void TryInit(const std::string& options) {
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  const ViInt32 handlesBefore = IviConfig_GetLiveHandleCount();
  ViSession vi = VI_NULL;
  const ViStatus status =
      HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, options.c_str(), &vi);
  FUZZ_CHECK(IviConfig_GetLiveHandleCount() == handlesBefore);
  if (status >= 0) {
    FUZZ_CHECK(vi != VI_NULL);
    ReadSessionStrings(vi);
    FUZZ_CHECK(HnVQR_close(vi) == VI_SUCCESS);
  } else {
    FUZZ_CHECK(vi == VI_NULL);
    ReadThreadError(options.size() % 2 == 0 ? 16 : 4096);
  }
  FUZZ_CHECK(IviSession_GetLiveSessionCount() == sessionsBefore);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The built-in store only: no process-default store file.
  unsetenv("IVI_CONFIG_STORE");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::AsCString(data, size);
  TryInit("Simulate=1," + text);
  // Alone the text may leave simulation off: the init then tries GPIB0::5, which our VISA
  // library refuses at once, so the failure path of a real init is covered too.
  TryInit(text);
  return 0;
}
