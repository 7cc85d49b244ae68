#include "status_text.h"

#include <array>
#include <cstdio>

namespace hnvqr::visa {
namespace {

struct StatusText {
  ViStatus status;
  const char* text;
};

constexpr std::array kStatusTexts{
    StatusText{VI_SUCCESS, "VI_SUCCESS: Operation completed successfully."},
    StatusText{
        VI_SUCCESS_EVENT_DIS,
        "VI_SUCCESS_EVENT_DIS: Specified event is already disabled for at least one of the specified mechanisms."},
    StatusText{VI_SUCCESS_QUEUE_EMPTY,
               "VI_SUCCESS_QUEUE_EMPTY: Operation completed successfully, but queue was already empty."},
    StatusText{VI_SUCCESS_TERM_CHAR, "VI_SUCCESS_TERM_CHAR: The specified termination character was read."},
    StatusText{VI_SUCCESS_MAX_CNT, "VI_SUCCESS_MAX_CNT: The number of bytes read is equal to the input count."},
    StatusText{VI_SUCCESS_NESTED_SHARED,
               "VI_SUCCESS_NESTED_SHARED: Operation completed successfully, and this session has nested shared locks."},
    StatusText{
        VI_SUCCESS_NESTED_EXCLUSIVE,
        "VI_SUCCESS_NESTED_EXCLUSIVE: Operation completed successfully, and this session has nested exclusive locks."},
    StatusText{VI_WARN_NSUP_BUF, "VI_WARN_NSUP_BUF: The specified buffer is not supported."},
    StatusText{VI_WARN_NSUP_ATTR_STATE,
               "VI_WARN_NSUP_ATTR_STATE: Although the specified state of the attribute is valid, it is not supported "
               "by this implementation."},
    StatusText{VI_ERROR_SYSTEM_ERROR, "VI_ERROR_SYSTEM_ERROR: Unknown system error (miscellaneous error)."},
    StatusText{VI_ERROR_INV_OBJECT, "VI_ERROR_INV_OBJECT: The given session or object reference is invalid."},
    StatusText{VI_ERROR_RSRC_LOCKED,
               "VI_ERROR_RSRC_LOCKED: Specified type of lock cannot be obtained, or specified operation cannot be "
               "performed, because the resource is locked."},
    StatusText{VI_ERROR_INV_EXPR, "VI_ERROR_INV_EXPR: Invalid expression specified for search."},
    StatusText{VI_ERROR_RSRC_NFOUND,
               "VI_ERROR_RSRC_NFOUND: Insufficient location information or the requested device or resource is not "
               "present in the system."},
    StatusText{VI_ERROR_INV_RSRC_NAME, "VI_ERROR_INV_RSRC_NAME: Invalid resource reference specified. Parsing error."},
    StatusText{VI_ERROR_INV_ACC_MODE, "VI_ERROR_INV_ACC_MODE: Invalid access mode."},
    StatusText{VI_ERROR_TMO, "VI_ERROR_TMO: Timeout expired before operation completed."},
    StatusText{VI_ERROR_CLOSING_FAILED,
               "VI_ERROR_CLOSING_FAILED: Unable to deallocate the previously allocated data structures corresponding "
               "to this session or object reference."},
    StatusText{VI_ERROR_NSUP_ATTR,
               "VI_ERROR_NSUP_ATTR: The specified attribute is not defined or supported by the referenced session, "
               "event, or find list."},
    StatusText{VI_ERROR_NSUP_ATTR_STATE,
               "VI_ERROR_NSUP_ATTR_STATE: The specified state of the attribute is not valid, or is not supported as "
               "defined by the session, event, or find list."},
    StatusText{VI_ERROR_ATTR_READONLY, "VI_ERROR_ATTR_READONLY: The specified attribute is Read Only."},
    StatusText{VI_ERROR_INV_LOCK_TYPE,
               "VI_ERROR_INV_LOCK_TYPE: The specified type of lock is not supported by this resource."},
    StatusText{
        VI_ERROR_INV_ACCESS_KEY,
        "VI_ERROR_INV_ACCESS_KEY: The access key to the resource associated with the specified session is invalid."},
    StatusText{VI_ERROR_ALLOC, "VI_ERROR_ALLOC: Insufficient system resources to perform necessary memory allocation."},
    StatusText{VI_ERROR_INV_MASK, "VI_ERROR_INV_MASK: Invalid buffer mask specified."},
    StatusText{VI_ERROR_IO, "VI_ERROR_IO: Could not perform operation because of I/O error."},
    StatusText{VI_ERROR_INV_FMT, "VI_ERROR_INV_FMT: A format specifier in the format string is invalid."},
    StatusText{VI_ERROR_NSUP_FMT, "VI_ERROR_NSUP_FMT: A format specifier in the format string is not supported."},
    StatusText{VI_ERROR_NSUP_OPER,
               "VI_ERROR_NSUP_OPER: The given session or object reference does not support this operation."},
    StatusText{VI_ERROR_ASRL_PARITY, "VI_ERROR_ASRL_PARITY: A parity error occurred during transfer."},
    StatusText{VI_ERROR_ASRL_FRAMING, "VI_ERROR_ASRL_FRAMING: A framing error occurred during transfer."},
    StatusText{VI_ERROR_ASRL_OVERRUN,
               "VI_ERROR_ASRL_OVERRUN: An overrun error occurred during transfer. A character was not read from the "
               "hardware before the next character arrived."},
    StatusText{VI_ERROR_USER_BUF,
               "VI_ERROR_USER_BUF: A specified user buffer is not valid or cannot be accessed for the required size."},
    StatusText{VI_ERROR_RSRC_BUSY, "VI_ERROR_RSRC_BUSY: The resource is valid, but VISA cannot currently access it."},
    StatusText{VI_ERROR_INV_PARAMETER,
               "VI_ERROR_INV_PARAMETER: The value of some parameter (which parameter is not known) is invalid."},
    StatusText{VI_ERROR_INV_PROT, "VI_ERROR_INV_PROT: The protocol specified is invalid."},
    StatusText{VI_ERROR_SESN_NLOCKED,
               "VI_ERROR_SESN_NLOCKED: The current session did not have any lock on the resource."},
    StatusText{VI_ERROR_LIBRARY_NFOUND,
               "VI_ERROR_LIBRARY_NFOUND: A code library required by VISA could not be located or loaded."},
    StatusText{
        VI_ERROR_INTF_NUM_NCONFIG,
        "VI_ERROR_INTF_NUM_NCONFIG: The interface type is valid but the specified interface number is not configured."},
    StatusText{VI_ERROR_CONN_LOST, "VI_ERROR_CONN_LOST: The connection for the given session has been lost."},
};

}  // namespace

bool describeStatus(ViStatus status, std::string& text) {
  for (const StatusText& entry : kStatusTexts) {
    if (entry.status == status) {
      text = entry.text;
      return true;
    }
  }
  char generic[64];
  std::snprintf(generic, sizeof generic, "Unknown status code 0x%08X.", static_cast<unsigned>(status));
  text = generic;
  return false;
}

}  // namespace hnvqr::visa
