// The VISA C functions this library does not implement (events, asynchronous and file
// I/O, register access and mapping, the GPIB, VXI, PXI and USB control operations):
// present, so that a program or binding that looks every function up finds them, and
// answering VI_ERROR_NSUP_OPER.
//
// Each is defined without parameters of its own: the caller's arguments are never read,
// and on the calling conventions where the caller removes its arguments (every 64-bit
// one, and 32-bit cdecl) that is safe whatever the real signature. 32-bit Windows calls
// these __stdcall, where the callee must know its argument size, so they are left out
// there.
#include "visa.h"

#if !defined(_WIN32) || defined(_WIN64)

// clang-format off
#define HNVISA_UNSUPPORTED_FUNCTIONS(X)                                                                          \
  X(viAssertIntrSignal) X(viAssertUtilSignal) X(viBufRead) X(viBufWrite)                                     \
  X(viEnableEvent) X(viGpibCommand) X(viGpibControlATN) X(viGpibPassControl) X(viGpibSendIFC)                 \
  X(viIn8) X(viIn16) X(viIn32) X(viIn64) X(viIn8Ex) X(viIn16Ex) X(viIn32Ex) X(viIn64Ex)                        \
  X(viInstallHandler) X(viMapAddress) X(viMapAddressEx) X(viMapTrigger) X(viMemAlloc) X(viMemAllocEx)          \
  X(viMemFree) X(viMemFreeEx) X(viMove) X(viMoveEx) X(viMoveAsync) X(viMoveAsyncEx)                            \
  X(viMoveIn8) X(viMoveIn16) X(viMoveIn32) X(viMoveIn64) X(viMoveIn8Ex) X(viMoveIn16Ex) X(viMoveIn32Ex)        \
  X(viMoveIn64Ex) X(viMoveOut8) X(viMoveOut16) X(viMoveOut32) X(viMoveOut64) X(viMoveOut8Ex) X(viMoveOut16Ex)  \
  X(viMoveOut32Ex) X(viMoveOut64Ex) X(viOut8) X(viOut16) X(viOut32) X(viOut64) X(viOut8Ex) X(viOut16Ex)        \
  X(viOut32Ex) X(viOut64Ex) X(viPeek8) X(viPeek16) X(viPeek32) X(viPeek64) X(viPoke8) X(viPoke16) X(viPoke32)  \
  X(viPoke64) X(viPxiReserveTriggers) X(viReadAsync) X(viReadToFile) X(viSPrintf) X(viSScanf) X(viTerminate)   \
  X(viUninstallHandler) X(viUnmapAddress) X(viUnmapTrigger) X(viUsbControlIn) X(viUsbControlOut) X(viVSPrintf) \
  X(viVSScanf) X(viVxiCommandQuery) X(viWaitOnEvent) X(viWriteAsync) X(viWriteFromFile)
// clang-format on

// viPeek and viPoke return nothing in VISA; a status their caller ignores does no harm.
#define HNVISA_DEFINE_UNSUPPORTED(name) \
  extern "C" HNVISA_API ViStatus name(...) { return VI_ERROR_NSUP_OPER; }

HNVISA_UNSUPPORTED_FUNCTIONS(HNVISA_DEFINE_UNSUPPORTED)

#endif
