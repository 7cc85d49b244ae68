/*
 * quickstart: the first program to write against HnVQR.
 *
 *   quickstart RESOURCE        open a supply (or the vqr-sim emulator) by resource string,
 *                              e.g. TCPIP0::192.168.1.50::5025::SOCKET or ASRL/dev/ttyUSB0::INSTR
 *   quickstart --simulate      the same steps in simulation: no instrument is touched
 *
 * It identifies the supply, programs 12 V with a 1 A current level, switches the output
 * on, measures voltage and current, shows the output state, reads the instrument's error
 * queue, switches the output off and closes. Every failure is printed with the driver's
 * description from HnVQR_GetError, or, for a status of the VISA library (which passes
 * through the driver unchanged), with the VISA library's own viStatusDesc. Exit status:
 * 0 on success, 1 on a driver error, 2 on a usage error.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "HnVQR.h"
#include "visa.h"

/* The supplies have one output; its physical name is CH1. */
#define CHANNEL "CH1"

/*
 * Prints the failed step and the driver's description of the error. HnVQR_GetError
 * answers the size it needs when asked with size 0, so the text is never cut. With
 * vi == VI_NULL it reports the calling thread's last error: that is how the reason of a
 * failed initialization is read, since there is no session to ask.
 */
static void report_failure(ViSession vi, const char* step, ViStatus status) {
  ViStatus code = 0;
  char fallback[1] = {'\0'};
  char* description = fallback;
  const ViStatus needed = HnVQR_GetError(vi, &code, 0, VI_NULL);
  if (needed > 1) {
    char* buffer = malloc((size_t)needed);
    if (buffer != NULL && HnVQR_GetError(vi, &code, needed, buffer) >= 0) {
      description = buffer;
    } else {
      free(buffer);
    }
  }
  fprintf(stderr, "quickstart: %s failed with status 0x%08lX\n", step, (unsigned long)(ViUInt32)status);
  if (description[0] != '\0') {
    fprintf(stderr, "  %s\n", description);
  } else if (((ViUInt32)status & 0x3FFF0000u) == 0x3FFF0000u) {
    /* VISA statuses pass through the driver unchanged and without a description of
     * the driver's; the VISA library describes its own (name and text). */
    ViChar visa_text[256] = "";
    if (viStatusDesc(VI_NULL, status, visa_text) >= VI_SUCCESS && visa_text[0] != '\0') {
      fprintf(stderr, "  %s\n", visa_text);
    }
  } else {
    ViChar message[256] = "";
    if (HnVQR_error_message(vi, status, message) == VI_SUCCESS) {
      fprintf(stderr, "  %s\n", message);
    }
  }
  if (description != fallback) {
    free(description);
  }
}

/* Runs one call; on failure reports it and leaves main's cleanup to close the session. */
#define CHECK(step, call)                      \
  do {                                         \
    const ViStatus check_status_ = (call);     \
    if (check_status_ < VI_SUCCESS) {          \
      report_failure(vi, step, check_status_); \
      goto done;                               \
    }                                          \
  } while (0)

static const char* const output_state_names[] = {"constant voltage", "constant current", "over-voltage", "over-current",
                                                 "unregulated"};

int main(int argc, char** argv) {
  if (argc != 2 || strcmp(argv[1], "--help") == 0) {
    fprintf(stderr, "usage: quickstart RESOURCE | --simulate\n");
    return 2;
  }
  const int simulate = strcmp(argv[1], "--simulate") == 0;
  /* A real supply answers *IDN? with its model. A simulated session needs one named:
   * DriverSetup is the last part of an option string. QueryInstrStatus=true makes the
   * driver check the instrument's error bits after every exchange. */
  const char* resource = simulate ? "TCPIP0::simulated::5025::SOCKET" : argv[1];
  const char* options = simulate ? "Simulate=true, DriverSetup=Model:VQR-A2" : "QueryInstrStatus=true";

  ViSession vi = VI_NULL;
  int exit_code = 1;

  printf("Opening %s%s\n", resource, simulate ? " (simulated)" : "");
  /* IdQuery and Reset on: identify the model and start from the instrument's defaults. */
  CHECK("HnVQR_InitWithOptions", HnVQR_InitWithOptions((ViRsrc)resource, VI_TRUE, VI_TRUE, options, &vi));

  ViChar manufacturer[256] = "", model[256] = "", firmware[256] = "";
  CHECK("reading the manufacturer",
        HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MANUFACTURER, sizeof manufacturer, manufacturer));
  CHECK("reading the model", HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MODEL, sizeof model, model));
  CHECK("reading the firmware revision",
        HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION, sizeof firmware, firmware));
  printf("  instrument     %s %s, firmware %s\n", manufacturer[0] ? manufacturer : "(none)", model, firmware);

  /* The voltage level is a class attribute of the output; the current level is the
   * supply's own setting (the class "current limit" is its over-current protection). */
  CHECK("HnVQR_ConfigureVoltageLevel", HnVQR_ConfigureVoltageLevel(vi, CHANNEL, 12.0));
  CHECK("setting the current level", HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_CURRENT_LEVEL, 1.0));
  ViReal64 voltage_level = 0.0, current_level = 0.0;
  CHECK("reading the voltage level", HnVQR_GetAttributeViReal64(vi, CHANNEL, HNVQR_ATTR_VOLTAGE_LEVEL, &voltage_level));
  CHECK("reading the current level", HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_CURRENT_LEVEL, &current_level));
  printf("  programmed     %.3f V, %.3f A\n", voltage_level, current_level);

  CHECK("HnVQR_ConfigureOutputEnabled", HnVQR_ConfigureOutputEnabled(vi, CHANNEL, VI_TRUE));
  ViBoolean enabled = VI_FALSE;
  CHECK("reading the output state", HnVQR_GetAttributeViBoolean(vi, CHANNEL, HNVQR_ATTR_OUTPUT_ENABLED, &enabled));
  printf("  output         %s\n", enabled == VI_TRUE ? "on" : "off");

  ViReal64 volts = 0.0, amps = 0.0;
  CHECK("HnVQR_MeasureVoltage", HnVQR_MeasureVoltage(vi, &volts));
  CHECK("HnVQR_MeasureCurrent", HnVQR_MeasureCurrent(vi, &amps));
  printf("  measured       %.3f V, %.3f A%s\n", volts, amps, simulate ? " (simulated readings are 0)" : "");

  printf("  regulation    ");
  int states_shown = 0;
  for (ViInt32 state = HNVQR_VAL_OUTPUT_CONSTANT_VOLTAGE; state <= HNVQR_VAL_OUTPUT_UNREGULATED; ++state) {
    ViBoolean in_state = VI_FALSE;
    CHECK("HnVQR_QueryOutputState", HnVQR_QueryOutputState(vi, CHANNEL, state, &in_state));
    if (in_state == VI_TRUE) {
      printf(" %s", output_state_names[state]);
      ++states_shown;
    }
  }
  printf("%s\n", states_shown == 0 ? " (none reported)" : "");

  /* The instrument's error queue, read until it answers "no error" (code 0). */
  for (int i = 0; i < 20; ++i) {
    ViInt32 error_code = 0;
    ViChar error_text[256] = "";
    CHECK("HnVQR_error_query", HnVQR_error_query(vi, &error_code, error_text));
    printf("  error queue    %ld, %s\n", (long)error_code, error_text);
    if (error_code == 0) {
      break;
    }
  }

  CHECK("switching the output off", HnVQR_ConfigureOutputEnabled(vi, CHANNEL, VI_FALSE));
  exit_code = 0;

done:
  if (vi != VI_NULL) {
    const ViStatus close_status = HnVQR_close(vi);
    if (close_status < VI_SUCCESS) {
      fprintf(stderr, "quickstart: HnVQR_close failed with status 0x%08lX\n", (unsigned long)(ViUInt32)close_status);
      exit_code = 1;
    }
  }
  printf("%s\n", exit_code == 0 ? "Closed: all steps succeeded." : "Stopped at the first failure.");
  return exit_code;
}
