// The few operating-system calls behind trace_platform.cpp, which holds what the platforms
// share (standard error, error reasons, closing on failure); one implementation file per
// platform (trace_platform_posix.cpp, trace_platform_win32.cpp).
#pragma once

#include <string>

#include "trace_platform.h"

namespace hnvqr::trace::platform::os {

// The text of an errno value.
std::string reason(int error);
// Opens `path` for appending, creating it: the descriptor, or a negative number with errno set.
int openAppending(const std::string& path);
// Fills in what identifies the open file.fd and whether it is a regular file. False with
// errno set when the file cannot be examined.
bool describe(OpenedFile& file);
// Empties the file: 0, or another value with errno set.
int makeEmpty(int fd);
void closeDescriptor(int fd);

}  // namespace hnvqr::trace::platform::os
