// The VQR supply family: one row per model with its three independent ratings.
#pragma once

#include <span>
#include <string_view>

namespace vqrsim {

struct ModelRating {
  std::string_view id;
  double power_watts;
  double max_volts;
  double max_amps;
};

// All models of the family, in catalogue order.
std::span<const ModelRating> model_table();

// The row of an identifier (exact, case-sensitive), or nullptr for an unknown one.
const ModelRating* find_model(std::string_view id);

// Ratings used for an identifier outside the family: the emulator still answers *IDN? with
// the identifier as given, so a client's "unrecognized model" path can be exercised.
const ModelRating& fallback_rating();

// An identifier that can stand as one field of the *IDN? answer: 1 to 64 printable
// characters, none of them a blank, comma or semicolon.
bool is_valid_model_identifier(std::string_view id);

}  // namespace vqrsim
