/* The I/O trace of libhnvisa: one JSON Lines writer per trace file per process, shared by
 * the VISA sessions and by the driver above them.
 *
 * Every line is one event: {"t":<monotonic seconds>,"wall":"<UTC time>","pid":..,"tid":..,
 * <the event's own fields>,"dur":<seconds>}. Lines are queued and written by a thread of the
 * writer's own; when the queue is full an event is dropped and counted, and a line
 * {"op":"dropped","count":N} takes its place as soon as there is room again. Recording never
 * waits for the file.
 *
 * The environment variable HNVQR_TRACE=<file> ("-" for standard error) traces every session
 * of the process. A single session is traced into a file of its own by handing a trace
 * opened here to its VISA session through HNVISA_ATTR_TRACE. */
#ifndef HNVQR_PLATFORM_HNVISA_TRACE_H
#define HNVQR_PLATFORM_HNVISA_TRACE_H

#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A trace handle: 0 is none. Handles are never reused within a process. */
typedef ViUInt32 HnvisaTrace;

/* Vendor-specific attribute of an instrument session (write-only): the trace handle its
 * events go to from now on, 0 for the process trace of HNVQR_TRACE. Setting it also records
 * the session's open in that trace. */
#define HNVISA_ATTR_TRACE (0x3FFE0A71UL)

/* The kinds of field an event is made of. */
#define HNVISA_TRACE_TEXT 0    /* data: NUL-terminated text (null: JSON null) */
#define HNVISA_TRACE_BYTES 1   /* data, length: bytes, escaped as a JSON string */
#define HNVISA_TRACE_INTEGER 2 /* integer */
#define HNVISA_TRACE_REAL 3    /* real */
#define HNVISA_TRACE_OBJECT 4  /* opens a nested object named `name` */
#define HNVISA_TRACE_END 5     /* closes it */

typedef struct {
  const char* name;
  int kind;
  const void* data;
  ViUInt32 length;
  ViInt64 integer;
  ViReal64 real;
} HnvisaTraceField;

/* The trace of HNVQR_TRACE, opened on first use and kept for the life of the process; 0 when
 * the variable is unset or empty, or when its file cannot be opened (then `reason`, when not
 * null, receives why; otherwise it is emptied). `reason` holds 256 characters. */
HNVISA_API HnvisaTrace _VI_FUNC hnvisa_trace_environment(ViChar reason[]);
/* Opens (or shares, when this process has it open already) the trace file `path`, "-" for
 * standard error. A file opened anew is emptied. VI_ERROR_IO with the reason (the
 * system's text) in `reason` when it cannot be opened. */
HNVISA_API ViStatus _VI_FUNC hnvisa_trace_open(ViConstString path, HnvisaTrace* trace, ViChar reason[]);
/* Gives a handle back; the file is closed, after every queued line is written, when its
 * last handle is. */
HNVISA_API void _VI_FUNC hnvisa_trace_close(HnvisaTrace trace);
/* True while any trace is open in the process: the one cheap test before building an event. */
HNVISA_API ViBoolean _VI_FUNC hnvisa_trace_active(void);
/* The count of open trace handles itself, for callers that test it on every call: read it
 * with a relaxed atomic load (__atomic_load_n); nonzero while any trace is open. */
HNVISA_API const ViInt32* _VI_FUNC hnvisa_trace_activity(void);
/* The monotonic clock of the trace, in nanoseconds. */
HNVISA_API ViInt64 _VI_FUNC hnvisa_trace_clock(void);
/* Records an event that began at `started` (hnvisa_trace_clock) and ends now. An unknown or
 * closed handle records nothing. */
HNVISA_API void _VI_FUNC hnvisa_trace_record(HnvisaTrace trace, ViInt64 started, const HnvisaTraceField* fields,
                                             ViUInt32 count);

#ifdef __cplusplus
}
#endif

#endif
