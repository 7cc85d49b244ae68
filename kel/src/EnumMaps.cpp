#include "kel/EnumMaps.h"

#include <algorithm>

#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Status.h"
#include "kel/text/Text.h"

namespace kel {
namespace {

std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> pieces;
  for (const std::string_view piece : text::SplitAndTrim(list, ',')) pieces.emplace_back(piece);
  return pieces;
}

bool Lists(const std::vector<std::string>& list, std::string_view entry) {
  return std::find(list.begin(), list.end(), entry) != list.end();
}

bool InFamilyOf(const DriverSession* session, const std::string& model, const EnumCommandInfo& row) {
  return session != nullptr && std::any_of(row.Models.begin(), row.Models.end(), [&](const std::string& family) {
           return session->ModelBelongsToFamily(model, family);
         });
}

// Where a report goes: the session's error store, or the thread's without a session.
ViSession HandleOf(const DriverSession* session) { return session != nullptr ? session->GetSessionHandle() : VI_NULL; }

}  // namespace

EnumCommandMap::EnumCommandMap(std::span<const EnumCommandRow> rows) {
  rows_.reserve(rows.size());
  for (const auto& row : rows) {
    rows_.push_back({std::string(row.name), row.value, SplitList(row.commands), SplitList(row.models)});
  }
}

bool TokenMatches(std::string_view token, std::string_view response) {
  return text::EqualsIgnoreCase(text::Trim(token), text::Trim(response));
}

ViStatus ResponseToValue(const DriverSession* session, const EnumCommandMap& map, std::string_view response,
                         ViInt32& value) {
  value = -1;
  static const std::string kNoModel;
  const std::string& model = session != nullptr ? session->GetInstrumentModel() : kNoModel;
  const EnumCommandInfo* best = nullptr;
  std::vector<ViInt32> modelValues;
  for (const EnumCommandInfo& row : map.rows()) {
    const bool direct = Lists(row.Models, model);
    const bool byFamily = !direct && InFamilyOf(session, model, row);
    if (direct || byFamily) modelValues.push_back(row.Value);
    const bool matches = std::any_of(row.Commands.begin(), row.Commands.end(),
                                     [&](const std::string& token) { return TokenMatches(token, response); });
    if (!matches) continue;
    if (direct) {
      value = row.Value;
      return VI_SUCCESS;
    }
    if (byFamily) {
      best = &row;
    } else if (best == nullptr && row.Models.empty()) {
      best = &row;
    }
  }
  // A generic row is not used for a value that this model has rows of its own for.
  const bool usable = best != nullptr && (!best->Models.empty() || std::find(modelValues.begin(), modelValues.end(),
                                                                             best->Value) == modelValues.end());
  if (usable) {
    value = best->Value;
    return VI_SUCCESS;
  }
  return ReportErrorWithElaboration(HandleOf(session), status::kUnexpectedResponse,
                                    "Could not convert instrument response (%s) to a defined value.", response);
}

ViStatus ValueToCommand(const DriverSession* session, const EnumCommandMap& map, ViInt32 value, std::string& command) {
  command.clear();
  static const std::string kNoModel;
  const std::string& model = session != nullptr ? session->GetInstrumentModel() : kNoModel;
  auto first = [&](auto&& accepts) -> const EnumCommandInfo* {
    const auto it = std::find_if(map.rows().begin(), map.rows().end(),
                                 [&](const EnumCommandInfo& row) { return row.Value == value && accepts(row); });
    return it == map.rows().end() ? nullptr : &*it;
  };
  const EnumCommandInfo* row = first([&](const EnumCommandInfo& r) { return Lists(r.Models, model); });
  if (row == nullptr) row = first([&](const EnumCommandInfo& r) { return InFamilyOf(session, model, r); });
  if (row == nullptr) row = first([](const EnumCommandInfo& r) { return r.Models.empty(); });
  if (row != nullptr && !row->Commands.empty()) {
    command = row->Commands.front();
    return VI_SUCCESS;
  }
  return ReportErrorWithElaboration(HandleOf(session), status::kCannotRecover,
                                    "Could not convert defined value '%d' to an instrument command.", value);
}

std::string ValueToName(const EnumCommandMap& map, ViInt32 value) {
  const auto it = std::find_if(map.rows().begin(), map.rows().end(),
                               [value](const EnumCommandInfo& row) { return row.Value == value; });
  return it == map.rows().end() ? std::to_string(value) : it->Name;
}

}  // namespace kel
