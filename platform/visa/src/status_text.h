// Descriptions of the statuses this library returns, for viStatusDesc.
#ifndef HNVISA_STATUS_TEXT_H
#define HNVISA_STATUS_TEXT_H

#include <string>

#include "visa.h"

namespace hnvqr::visa {

// The description of `status`; false (with a generic text) when it is not one of ours.
bool describeStatus(ViStatus status, std::string& text);

}  // namespace hnvqr::visa

#endif
