/* Loads HnVQR.dll (HnVQR_64.dll on 64-bit Windows) at run time, as IVI class drivers and test programs on Windows do,
 * and finds each function of HnVQR.h by its plain name (the names are read from the header given as the argument). Then
 * runs a simulated session through the pointers found. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "HnVQR.h"

typedef ViStatus(_VI_FUNC* InitWithOptionsFunction)(ViRsrc, ViBoolean, ViBoolean, ViConstString, ViSession*);
typedef ViStatus(_VI_FUNC* CloseFunction)(ViSession);

/* Looks up every "HnVQR_name(" of the header; the count found, or -1 on a missing one. */
static int find_all(HMODULE driver, FILE* header) {
  char line[1024];
  int found = 0;
  char last[128] = "";
  while (fgets(line, sizeof line, header) != NULL) {
    const char* at = line;
    while ((at = strstr(at, "HnVQR_")) != NULL) {
      size_t length = 0;
      while ((at[length] >= 'A' && at[length] <= 'Z') || (at[length] >= 'a' && at[length] <= 'z') ||
             (at[length] >= '0' && at[length] <= '9') || at[length] == '_')
        ++length;
      if (at[length] == '(' && length < sizeof last && (strlen(last) != length || strncmp(last, at, length) != 0)) {
        char name[128];
        memcpy(name, at, length);
        name[length] = '\0';
        if (GetProcAddress(driver, name) == NULL) {
          fprintf(stderr, "load_library_test: GetProcAddress(\"%s\") failed\n", name);
          return -1;
        }
        strcpy(last, name);
        ++found;
      }
      at += length > 0 ? length : 1;
    }
  }
  return found;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: load_library_test HnVQR.h HnVQR.dll\n");
    return 2;
  }
  HMODULE driver = LoadLibraryA(argv[2]);
  if (driver == NULL) {
    fprintf(stderr, "load_library_test: LoadLibrary(\"%s\") failed, error %lu\n", argv[2], GetLastError());
    return 1;
  }
  FILE* header = fopen(argv[1], "r");
  if (header == NULL) {
    fprintf(stderr, "load_library_test: cannot read %s\n", argv[1]);
    return 2;
  }
  const int found = find_all(driver, header);
  fclose(header);
  if (found != 66) {
    fprintf(stderr, "load_library_test: found %d of the 66 functions\n", found);
    return 1;
  }
  /* A FARPROC becomes the function's own pointer type by its bytes (ISO C has no cast). */
  const FARPROC found_init = GetProcAddress(driver, "HnVQR_InitWithOptions");
  const FARPROC found_close = GetProcAddress(driver, "HnVQR_close");
  InitWithOptionsFunction init;
  CloseFunction close;
  memcpy(&init, &found_init, sizeof init);
  memcpy(&close, &found_close, sizeof close);
  ViSession vi = VI_NULL;
  const ViStatus opened = init((ViRsrc) "GPIB0::5::INSTR", VI_FALSE, VI_FALSE, "Simulate=1", &vi);
  if (opened != VI_SUCCESS || vi == VI_NULL || close(vi) != VI_SUCCESS) {
    fprintf(stderr, "load_library_test: simulated session failed, status 0x%08lX\n", (unsigned long)opened);
    return 1;
  }
  if (!FreeLibrary(driver)) {
    fprintf(stderr, "load_library_test: FreeLibrary failed\n");
    return 1;
  }
  printf("load_library_test: all 66 functions found by name; a simulated session opened and closed\n");
  return 0;
}
