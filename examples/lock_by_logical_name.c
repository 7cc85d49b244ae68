/*
 * lock_by_logical_name: opens a session by an IVI logical name from a configuration store
 * file and shares it between two threads, each of which makes a sequence of calls atomic
 * with HnVQR_LockSession / HnVQR_UnlockSession.
 *
 *   lock_by_logical_name STORE_FILE [LOGICAL_NAME [ROUNDS]]
 *
 * STORE_FILE becomes the process's configuration store (IVI_CONFIG_STORE); LOGICAL_NAME
 * (default MyPSU) names a driver session in it, whose hardware asset, flags and DriverSetup
 * the driver applies. Each thread, ROUNDS times (default 100): lock, program its own
 * voltage and current levels, read both back, unlock. Holding the lock, no other thread
 * can slip a call in between, so every read-back must equal what the same thread wrote.
 * Exit status: 0 when every read-back matched, 1 otherwise or on a driver error.
 */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

#include "HnVQR.h"
#include "visa.h"

struct worker {
  ViSession vi;
  const char* name;
  ViReal64 volts; /* what this thread programs */
  ViReal64 amps;
  int rounds;
  int mismatches;
  ViStatus failure; /* first failing status, 0 if none */
};

static void print_error(ViSession vi, const char* what, ViStatus status) {
  ViStatus code = 0;
  ViChar description[1024] = "";
  HnVQR_GetError(vi, &code, (ViInt32)sizeof description, description);
  /* A VISA status passes through the driver without a description of the driver's. */
  if (description[0] == '\0' && ((ViUInt32)status & 0x3FFF0000u) == 0x3FFF0000u) {
    viStatusDesc(VI_NULL, status, description);
  }
  fprintf(stderr, "lock_by_logical_name: %s failed with status 0x%08lX: %s\n", what, (unsigned long)(ViUInt32)status,
          description);
}

/* One atomic round: everything between LockSession and UnlockSession runs with the
 * session held by this thread; the other thread's calls wait in the driver. */
static ViStatus one_round(struct worker* w) {
  ViBoolean has_lock = VI_FALSE;
  ViStatus status = HnVQR_LockSession(w->vi, &has_lock);
  if (status < VI_SUCCESS) {
    return status;
  }
  ViReal64 volts = 0.0, amps = 0.0;
  status = HnVQR_ConfigureVoltageLevel(w->vi, "CH1", w->volts);
  if (status >= VI_SUCCESS) status = HnVQR_SetAttributeViReal64(w->vi, "", HNVQR_ATTR_CURRENT_LEVEL, w->amps);
  if (status >= VI_SUCCESS) status = HnVQR_GetAttributeViReal64(w->vi, "CH1", HNVQR_ATTR_VOLTAGE_LEVEL, &volts);
  if (status >= VI_SUCCESS) status = HnVQR_GetAttributeViReal64(w->vi, "", HNVQR_ATTR_CURRENT_LEVEL, &amps);
  if (status >= VI_SUCCESS && (volts != w->volts || amps != w->amps)) {
    ++w->mismatches;
  }
  /* Unlock on every path: a lock left held would block the other thread for good. */
  const ViStatus unlock_status = HnVQR_UnlockSession(w->vi, &has_lock);
  return status < VI_SUCCESS ? status : unlock_status;
}

static void* run_worker(void* argument) {
  struct worker* w = argument;
  for (int i = 0; i < w->rounds && w->failure == VI_SUCCESS; ++i) {
    const ViStatus status = one_round(w);
    if (status < VI_SUCCESS) {
      w->failure = status;
    }
  }
  return NULL;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    fprintf(stderr, "usage: lock_by_logical_name STORE_FILE [LOGICAL_NAME [ROUNDS]]\n");
    return 2;
  }
  const char* logical_name = argc > 2 ? argv[2] : "MyPSU";
  const int rounds = argc > 3 ? atoi(argv[3]) : 100;
  if (rounds <= 0) {
    fprintf(stderr, "lock_by_logical_name: ROUNDS must be a positive number\n");
    return 2;
  }
  /* The driver reads the store at initialization: set its location before. */
  if (setenv("IVI_CONFIG_STORE", argv[1], 1) != 0) {
    perror("setenv");
    return 1;
  }

  ViSession vi = VI_NULL;
  /* No option string: the logical name's driver session supplies the resource and flags. */
  ViStatus status = HnVQR_init((ViRsrc)logical_name, VI_TRUE, VI_FALSE, &vi);
  if (status < VI_SUCCESS) {
    print_error(VI_NULL, "HnVQR_init", status);
    return 1;
  }
  ViChar resource[256] = "", model[256] = "";
  ViBoolean simulating = VI_FALSE;
  HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR, sizeof resource, resource);
  HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MODEL, sizeof model, model);
  HnVQR_GetAttributeViBoolean(vi, "", HNVQR_ATTR_SIMULATE, &simulating);
  printf("Opened %s: %s at %s%s\n", logical_name, model, resource, simulating == VI_TRUE ? " (simulated)" : "");

  struct worker workers[2] = {
      {vi, "thread A", 5.0, 0.5, rounds, 0, VI_SUCCESS},
      {vi, "thread B", 9.0, 1.5, rounds, 0, VI_SUCCESS},
  };
  pthread_t threads[2];
  int started = 0;
  for (; started < 2; ++started) {
    if (pthread_create(&threads[started], NULL, run_worker, &workers[started]) != 0) {
      fprintf(stderr, "lock_by_logical_name: cannot start a thread\n");
      break;
    }
  }
  for (int i = 0; i < started; ++i) {
    pthread_join(threads[i], NULL);
  }

  int exit_code = started == 2 ? 0 : 1;
  for (int i = 0; i < 2; ++i) {
    const struct worker* w = &workers[i];
    printf("  %s: %d rounds of %.1f V / %.1f A, %d read-backs differed\n", w->name, w->rounds, w->volts, w->amps,
           w->mismatches);
    if (w->failure != VI_SUCCESS) {
      print_error(vi, w->name, w->failure);
      exit_code = 1;
    }
    if (w->mismatches != 0) {
      exit_code = 1;
    }
  }
  status = HnVQR_close(vi);
  if (status < VI_SUCCESS) {
    fprintf(stderr, "lock_by_logical_name: HnVQR_close failed with status 0x%08lX\n", (unsigned long)(ViUInt32)status);
    exit_code = 1;
  }
  printf("%s\n", exit_code == 0 ? "Every sequence ran atomically." : "FAILED");
  return exit_code;
}
