#include "vqrsim/models.hpp"

#include <array>

namespace vqrsim {
namespace {

constexpr std::array<ModelRating, 10> kModels{{
    {"VQR-A1", 600, 400, 2.5},
    {"VQR-A2", 600, 200, 5},
    {"VQR-A3", 600, 100, 10},
    {"VQR-A4", 600, 50, 20},
    {"VQR-A5", 600, 30, 33},
    {"VQR-B1", 1500, 400, 5},
    {"VQR-B2", 1500, 200, 10},
    {"VQR-B3", 1500, 100, 20},
    {"VQR-B4", 1500, 50, 40},
    {"VQR-B6", 1500, 30, 33},
}};

}  // namespace

std::span<const ModelRating> model_table() { return kModels; }

const ModelRating* find_model(std::string_view id) {
  for (const ModelRating& row : kModels) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

const ModelRating& fallback_rating() { return kModels[3]; }

bool is_valid_model_identifier(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  for (char c : id) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == ',' || c == ';') return false;
  }
  return true;
}

}  // namespace vqrsim
