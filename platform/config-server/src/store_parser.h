// Turning the text of a store file into a StoreData, checking every value on the way.
#ifndef HNVQR_CONFIG_SERVER_STORE_PARSER_H
#define HNVQR_CONFIG_SERVER_STORE_PARSER_H

#include <optional>
#include <string>
#include <string_view>

#include "store_model.h"

namespace hnvqr::config {

// The store used when the master location holds no file: the driver's software module
// "HnVQR" with the physical name "CH1" (value ""), nothing else.
StoreData BuiltInStore();

// Parses a whole store file. On failure returns nothing and sets `problem` to
// "<place>: <what is wrong>", the place being "line L, column C" when the JSON parser
// gives one, else the path of the value such as "driverSessions[0].cache".
// The driver's software module is added when the file does not define one of that name.
std::optional<StoreData> ParseStoreText(std::string_view text, std::string& problem);

}  // namespace hnvqr::config

#endif
