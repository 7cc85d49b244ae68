#include "TraceCommands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <string_view>

#include <nlohmann/json.hpp>

#include "HnVQR.h"
#include "trace_bytes.h"

namespace hnvqr::tool {
namespace {

using nlohmann::json;

struct Event {
  std::size_t line = 0;
  json data;
};

bool read_events(const std::string& file, std::vector<Event>& events) {
  std::ifstream input(file);
  if (!input) {
    std::fprintf(stderr, "cannot read the trace '%s'\n", file.c_str());
    return false;
  }
  std::string text;
  for (std::size_t line = 1; std::getline(input, text); ++line) {
    json data = json::parse(text, nullptr, false);
    if (data.is_object()) events.push_back({line, std::move(data)});
  }
  return true;
}

// A trace's strings stand for bytes, one code point (0 to 255) each.
std::string bytes_of(const json& value) {
  if (!value.is_string()) return {};
  return hnvqr::trace::bytesFromTraceText(value.get_ref<const std::string&>());
}

// Bytes as a reader wants them on one line: printable text as is, the rest escaped.
std::string printable(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n')
      text += "\\n";
    else if (c == '\r')
      text += "\\r";
    else if (c == '\t')
      text += "\\t";
    else if (c == '\\')
      text += "\\\\";
    else if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      text += hex;
    } else {
      text += c;
    }
  }
  return text;
}

std::string value_text(const json& value) {
  if (value.is_string()) return "\"" + printable(bytes_of(value)) + "\"";
  return value.dump();
}

std::string call_text(const json& event) {
  std::string text = event.value("function", std::string("?")) + "(";
  bool first = true;
  if (event.contains("args") && event["args"].is_object()) {
    for (const auto& [name, value] : event["args"].items()) {
      text += (first ? "" : ", ") + name + "=" + value_text(value);
      first = false;
    }
  }
  return text + ")";
}

std::string status_text(long long status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(static_cast<std::uint32_t>(status)));
  return text;
}

}  // namespace

int run_trace(const std::string& file, const TraceOptions& options) {
  std::vector<Event> events;
  if (!read_events(file, events)) return 1;
  double start = -1.0;
  for (const Event& event : events)
    if (event.data.contains("t") && (start < 0 || event.data["t"].get<double>() < start))
      start = event.data["t"].get<double>();
  std::printf("%11s %10s  %-4s %7s  %s\n", "time/s", "took/ms", "dir", "session", "text");
  for (const Event& event : events) {
    const json& data = event.data;
    const std::string op = data.value("op", std::string());
    const long long session = data.value("session", 0LL);
    const long long status = data.value("status", 0LL);
    if (options.session && (!data.contains("session") || session != *options.session)) continue;
    if (options.errors_only && status >= 0 && op != "dropped") continue;
    std::string direction;
    std::string text;
    if (op == "call") {
      direction = "call";
      text = call_text(data);
    } else if (op == "write" || op == "flush") {
      direction = ">";
      text = printable(bytes_of(data.value("bytes", json())));
    } else if (op == "read") {
      direction = "<";
      text = printable(bytes_of(data.value("reply", json())));
    } else if (op == "query" || op == "read_stb" || op == "clear" || op == "trigger") {
      direction = "><";
      text = printable(bytes_of(data.value("bytes", json()))) + "  ->  " +
             printable(bytes_of(data.value("reply", json())));
      if (op != "query") text = op + " " + text;
    } else if (op == "set_attribute") {
      direction = "attr";
      char attribute[48];
      std::snprintf(attribute, sizeof attribute, "0x%08llX = %lld",
                    static_cast<unsigned long long>(data.value("attribute", 0ULL)), data.value("value", 0LL));
      text = attribute;
    } else if (op == "open" || op == "close") {
      direction = op;
      text = data.value("resource", std::string());
    } else if (op == "dropped") {
      std::printf("%11s %10s  %-4s %7s  %lld events dropped (the trace could not keep up)\n", "", "", "!", "",
                  data.value("count", 0LL));
      continue;
    } else {
      direction = op;
    }
    const double seconds = data.value("t", start) - start;
    const double took_ms = data.value("dur", 0.0) * 1000.0;
    std::string flags;
    if (status < 0) flags += "  ERROR " + status_text(status);
    if (took_ms > options.slow_ms && op != "call") flags += "  SLOW";
    std::printf("%11.6f %10.3f  %-4s %7s  %s%s\n", seconds, took_ms, direction.c_str(),
                data.contains("session") ? std::to_string(session).c_str() : "", text.c_str(), flags.c_str());
  }
  return 0;
}

namespace {

// One recorded call, run again: its recorded arguments in, this run's outputs out.
class ReplayCall {
 public:
  ReplayCall(const std::string& function, const json& arguments, ViSession session_handle,
             std::map<long long, ViSession>& sessions, const std::string& resource)
      : function_(function), arguments_(arguments), sessions_(sessions), resource_(resource), session(session_handle) {}

  std::optional<std::string> text(const char* name) const {
    const bool initializes = function_ == "HnVQR_init" || function_ == "HnVQR_InitWithOptions";
    if (initializes && std::string_view(name) == "ResourceName") return resource_;
    if (!arguments_.contains(name) || arguments_[name].is_null()) return std::nullopt;
    std::string value = bytes_of(arguments_[name]);
    // A session trace named in the options would empty the very file being replayed.
    if (initializes && std::string_view(name) == "OptionString")
      value = std::regex_replace(value, std::regex(R"(TraceFile\s*[:=][^,]*,?)", std::regex::icase), "");
    return value;
  }
  template <class T>
  T value(const char* name) const {
    if (!arguments_.contains(name)) return T{};
    const json& recorded = arguments_[name];
    if constexpr (std::is_floating_point_v<T>) {
      if (recorded.is_string()) {
        const std::string word = recorded.get<std::string>();
        if (word == "nan") return std::nan("");
        return word == "-inf" ? -INFINITY : INFINITY;
      }
      return recorded.is_number() ? recorded.get<T>() : T{};
    } else {
      if (!recorded.is_number()) return T{};
      // A recorded session handle stands for the one this run opened in its place.
      if (std::is_same_v<T, ViSession> && sessions_.count(recorded.get<long long>()))
        return static_cast<T>(sessions_.at(recorded.get<long long>()));
      return static_cast<T>(recorded.get<long long>());
    }
  }
  ViInt64 size(const char* name) const { return std::clamp<ViInt64>(value<ViInt64>(name), 0, 1 << 20); }
  std::vector<ViChar> textBuffer(ViInt64 size) const {
    return std::vector<ViChar>(static_cast<std::size_t>(size) + 1, '\0');
  }
  std::vector<ViByte> byteBuffer(ViInt64 size) const {
    return std::vector<ViByte>(static_cast<std::size_t>(size) + 1, 0);
  }
  std::string bytes(const char* name) const { return arguments_.contains(name) ? bytes_of(arguments_[name]) : ""; }

  template <class T>
  void output(const char* name, T produced) {
    outputs[name] = produced;
  }
  void outputText(const char* name, const std::vector<ViChar>& buffer) {
    outputs[name] = std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
  }
  void outputBytes(const char* name, const std::vector<ViByte>& buffer, ViInt64 count) {
    const auto length = static_cast<std::size_t>(std::clamp<ViInt64>(count, 0, static_cast<ViInt64>(buffer.size())));
    outputs[name] = std::string(reinterpret_cast<const char*>(buffer.data()), length);
  }
  void outputSession(const char* name, ViSession produced) {
    if (arguments_.contains(name) && arguments_[name].is_number() && produced != VI_NULL)
      sessions_[arguments_[name].get<long long>()] = produced;
    session_outputs.push_back(name);
  }

 private:
  const std::string& function_;
  const json& arguments_;
  std::map<long long, ViSession>& sessions_;
  const std::string& resource_;

 public:
  const ViSession session;
  std::map<std::string, json> outputs;
  std::vector<std::string> session_outputs;
};

using ReplayFunction = ViStatus (*)(ReplayCall&);

const std::map<std::string_view, ReplayFunction>& replay_table() {
  static const std::map<std::string_view, ReplayFunction> table{
#include "ReplayCalls.inc"
  };
  return table;
}

bool same_output(const json& recorded, const json& produced) {
  if (recorded.is_string() && produced.is_string()) return bytes_of(recorded) == produced.get<std::string>();
  if (recorded.is_number() && produced.is_number()) return recorded.get<double>() == produced.get<double>();
  if (recorded.is_string() && produced.is_number_float()) {
    const double number = produced.get<double>();
    return recorded.get<std::string>() == (std::isnan(number) ? "nan" : number > 0 ? "inf" : "-inf");
  }
  return recorded == produced;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace

int run_replay(const std::string& file, const std::optional<std::string>& resource) {
  if (const char* trace = std::getenv("HNVQR_TRACE"); trace != nullptr && same_file(trace, file)) {
    std::fprintf(stderr, "HNVQR_TRACE names the trace being replayed, which tracing would empty\n");
    return 2;
  }
  std::vector<Event> events;
  if (!read_events(file, events)) return 1;
  const std::string target = resource.value_or("REPLAY::" + file + "::0::INSTR");
  std::map<long long, ViSession> sessions;
  int calls = 0, differences = 0;
  for (const Event& event : events) {
    const json& data = event.data;
    if (data.value("op", std::string()) != "call") continue;
    const std::string function = data.value("function", std::string());
    const auto found = replay_table().find(function);
    if (found == replay_table().end()) {
      std::printf("line %zu: %s is not a function of the driver\n", event.line, function.c_str());
      ++differences;
      continue;
    }
    const json arguments = data.value("args", json::object());
    const long long recorded_session = data.value("session", 0LL);
    const auto mapped = sessions.find(recorded_session);
    ReplayCall call(function, arguments, mapped != sessions.end() ? mapped->second : VI_NULL, sessions, target);
    const ViStatus status = found->second(call);
    ++calls;
    const long long recorded_status = data.value("status", 0LL);
    std::string difference;
    if (status != recorded_status)
      difference += " status " + status_text(status) + " where " + status_text(recorded_status) + " was recorded;";
    for (const auto& [name, produced] : call.outputs) {
      if (std::find(call.session_outputs.begin(), call.session_outputs.end(), name) != call.session_outputs.end())
        continue;
      const json recorded = arguments.contains(name) ? arguments[name] : json();
      if (recorded.is_null() && status < 0) continue;  // outputs of a failed call were not recorded
      if (!same_output(recorded, produced))
        difference += " " + name + " " +
                      (produced.is_string() ? "\"" + printable(produced.get<std::string>()) + "\"" : produced.dump()) +
                      " where " + value_text(recorded) + " was recorded;";
    }
    if (difference.empty()) {
      std::printf("same  line %zu: %s = %s\n", event.line, function.c_str(), status_text(status).c_str());
    } else {
      difference.pop_back();
      std::printf("DIFF  line %zu: %s:%s\n", event.line, function.c_str(), difference.c_str());
      ++differences;
    }
  }
  std::printf("%d calls replayed, %d differ\n", calls, differences);
  return differences == 0 ? 0 : 1;
}

}  // namespace hnvqr::tool
