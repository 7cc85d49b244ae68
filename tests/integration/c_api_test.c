/* A C99 caller of the driver: opens a simulated session, sets and reads an attribute,
 * reads an error back, closes. Exits non-zero on the first surprise. */
#include <stdio.h>
#include <string.h>

#include "HnVQR.h"

#define EXPECT(cond)                                                      \
  do {                                                                    \
    if (!(cond)) {                                                        \
      fprintf(stderr, "%s:%d: expected %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                           \
    }                                                                     \
  } while (0)

int main(void) {
  ViSession vi = VI_NULL;
  ViReal64 level = 0.0;
  ViChar text[256];
  ViStatus code = 0;

  EXPECT(HnVQR_InitWithOptions("GPIB0::5::INSTR", VI_TRUE, VI_TRUE, "Simulate=1", &vi) == VI_SUCCESS);
  EXPECT(vi != VI_NULL);
  EXPECT(HnVQR_ConfigureVoltageLevel(vi, "CH1", 12.5) == VI_SUCCESS);
  EXPECT(HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level) == VI_SUCCESS);
  EXPECT(level == 12.5);
  EXPECT(HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MODEL, sizeof text, text) == VI_SUCCESS);
  EXPECT(strcmp(text, "VQR-B6") == 0);

  EXPECT(HnVQR_MeasureVoltage(vi, NULL) == IVI_ERROR_NULL_POINTER);
  EXPECT(HnVQR_GetError(vi, &code, sizeof text, text) == VI_SUCCESS);
  EXPECT(code == IVI_ERROR_NULL_POINTER);
  EXPECT(strcmp(text, "Null pointer passed for function 'HnVQR_MeasureVoltage', parameter 'Val'.") == 0);

  EXPECT(HnVQR_close(vi) == VI_SUCCESS);
  EXPECT(HnVQR_close(vi) == IVI_ERROR_INVALID_SESSION_HANDLE);
  printf("C caller: simulated session opened, used and closed\n");
  return 0;
}
