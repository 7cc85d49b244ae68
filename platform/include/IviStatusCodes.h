/* The IVI status codes: the inherent errors and warnings every IVI-C driver reports, and
 * the session-services codes. One definition, used by the driver, its framework, the
 * session services and the configuration server. A vendor ivi.h included first wins (same
 * values). */
#ifndef HNVQR_PLATFORM_IVI_STATUS_CODES_H
#define HNVQR_PLATFORM_IVI_STATUS_CODES_H

#include "visatype.h"

#ifndef IVI_ERROR_BASE
#define IVI_ERROR_BASE                                  ((ViStatus)0xBFFA0000L)
#define IVI_WARN_BASE                                   ((ViStatus)0x3FFA0000L)
#define IVI_ERROR_CANNOT_RECOVER                        ((ViStatus)0xBFFA0000L)
#define IVI_ERROR_INSTRUMENT_STATUS                     ((ViStatus)0xBFFA0001L)
#define IVI_ERROR_CANNOT_OPEN_FILE                      ((ViStatus)0xBFFA0002L)
#define IVI_ERROR_READING_FILE                          ((ViStatus)0xBFFA0003L)
#define IVI_ERROR_WRITING_FILE                          ((ViStatus)0xBFFA0004L)
#define IVI_ERROR_INVALID_PATHNAME                      ((ViStatus)0xBFFA000BL)
#define IVI_ERROR_INVALID_ATTRIBUTE                     ((ViStatus)0xBFFA000CL)
#define IVI_ERROR_ATTR_NOT_WRITABLE                     ((ViStatus)0xBFFA000DL)
#define IVI_ERROR_ATTR_NOT_READABLE                     ((ViStatus)0xBFFA000EL)
#define IVI_ERROR_INVALID_VALUE                         ((ViStatus)0xBFFA0010L)
#define IVI_ERROR_FUNCTION_NOT_SUPPORTED                ((ViStatus)0xBFFA0011L)
#define IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED               ((ViStatus)0xBFFA0012L)
#define IVI_ERROR_VALUE_NOT_SUPPORTED                   ((ViStatus)0xBFFA0013L)
#define IVI_ERROR_TYPES_DO_NOT_MATCH                    ((ViStatus)0xBFFA0015L)
#define IVI_ERROR_NOT_INITIALIZED                       ((ViStatus)0xBFFA001DL)
#define IVI_ERROR_UNKNOWN_CHANNEL_NAME                  ((ViStatus)0xBFFA0020L)
#define IVI_ERROR_TOO_MANY_OPEN_FILES                   ((ViStatus)0xBFFA0023L)
#define IVI_ERROR_CHANNEL_NAME_REQUIRED                 ((ViStatus)0xBFFA0044L)
#define IVI_ERROR_MISSING_OPTION_NAME                   ((ViStatus)0xBFFA0049L)
#define IVI_ERROR_MISSING_OPTION_VALUE                  ((ViStatus)0xBFFA004AL)
#define IVI_ERROR_BAD_OPTION_NAME                       ((ViStatus)0xBFFA004BL)
#define IVI_ERROR_BAD_OPTION_VALUE                      ((ViStatus)0xBFFA004CL)
#define IVI_ERROR_OUT_OF_MEMORY                         ((ViStatus)0xBFFA0056L)
#define IVI_ERROR_OPERATION_PENDING                     ((ViStatus)0xBFFA0057L)
#define IVI_ERROR_NULL_POINTER                          ((ViStatus)0xBFFA0058L)
#define IVI_ERROR_UNEXPECTED_RESPONSE                   ((ViStatus)0xBFFA0059L)
#define IVI_ERROR_FILE_NOT_FOUND                        ((ViStatus)0xBFFA005BL)
#define IVI_ERROR_INVALID_FILE_FORMAT                   ((ViStatus)0xBFFA005CL)
#define IVI_ERROR_STATUS_NOT_AVAILABLE                  ((ViStatus)0xBFFA005DL)
#define IVI_ERROR_ID_QUERY_FAILED                       ((ViStatus)0xBFFA005EL)
#define IVI_ERROR_RESET_FAILED                          ((ViStatus)0xBFFA005FL)
#define IVI_ERROR_RESOURCE_UNKNOWN                      ((ViStatus)0xBFFA0060L)
#define IVI_ERROR_ALREADY_INITIALIZED                   ((ViStatus)0xBFFA0061L)
#define IVI_ERROR_CANNOT_CHANGE_SIMULATION_STATE        ((ViStatus)0xBFFA0062L)
#define IVI_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR  ((ViStatus)0xBFFA0063L)
#define IVI_ERROR_INVALID_RANGE_IN_SELECTOR             ((ViStatus)0xBFFA0064L)
#define IVI_ERROR_UNKNOWN_NAME_IN_SELECTOR              ((ViStatus)0xBFFA0065L)
#define IVI_ERROR_BADLY_FORMED_SELECTOR                 ((ViStatus)0xBFFA0066L)
#define IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER           ((ViStatus)0xBFFA0067L)
#define IVI_ERROR_INVALID_SESSION_HANDLE                ((ViStatus)0xBFFA1190L)
#define IVI_WARN_NSUP_ID_QUERY                          ((ViStatus)0x3FFA0065L)
#define IVI_WARN_NSUP_RESET                             ((ViStatus)0x3FFA0066L)
#define IVI_WARN_NSUP_SELF_TEST                         ((ViStatus)0x3FFA0067L)
#define IVI_WARN_NSUP_ERROR_QUERY                       ((ViStatus)0x3FFA0068L)
#define IVI_WARN_NSUP_REV_QUERY                         ((ViStatus)0x3FFA0069L)
#endif

#ifndef IVI_ERROR_CANNOT_CREATE_LOCK
#define IVI_ERROR_CANNOT_CREATE_LOCK                    ((ViStatus)0xBFFA1198L)
/* Unlock of a lock that the calling thread does not hold. */
#define IVI_ERROR_LOCK_NOT_HELD                         ((ViStatus)0xBFFA1199L)
#endif

#endif
