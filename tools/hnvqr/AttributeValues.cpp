#include "AttributeValues.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace hnvqr::tool {
namespace {

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// Whole-text integer in decimal, or hexadecimal with 0x; nothing when malformed or too large.
std::optional<long long> parse_integer(std::string_view text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    const std::string copy(text);
    std::size_t digits = 0;
    if (copy[0] == '-' || copy[0] == '+') digits = 1;
    const bool hex = copy.size() > digits + 2 && copy[digits] == '0' && (copy[digits + 1] == 'x' || copy[digits + 1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(copy.c_str(), &end, hex ? 16 : 10);
    if (end == copy.c_str() || *end != '\0' || errno == ERANGE) return std::nullopt;
    return number;
}

std::optional<ViReal64> parse_real(std::string_view text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(copy.c_str(), &end);
    // Infinities and NaN are no level a supply can be set to.
    if (end == copy.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(number)) return std::nullopt;
    return number;
}

std::string format_real(ViReal64 number) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.15g", number);
    return text.data();
}

}  // namespace

std::optional<ViBoolean> parse_boolean(std::string_view text) {
    const std::string word = lower(text);
    if (word == "on" || word == "true" || word == "1") return VI_TRUE;
    if (word == "off" || word == "false" || word == "0") return VI_FALSE;
    return std::nullopt;
}

std::optional<AttributeValue> parse_value(const AttributeInfo& attribute, std::string_view text) {
    switch (attribute.type) {
        case ValueType::Int32: {
            if (const std::optional<ViInt32> named = find_enum_value(attribute, text)) return *named;
            const std::optional<long long> number = parse_integer(text);
            if (!number || *number < INT32_MIN || *number > INT32_MAX) return std::nullopt;
            return static_cast<ViInt32>(*number);
        }
        case ValueType::Real64:
            if (const std::optional<ViReal64> number = parse_real(text)) return *number;
            return std::nullopt;
        case ValueType::Boolean:
            if (const std::optional<ViBoolean> flag = parse_boolean(text)) return *flag;
            return std::nullopt;
        case ValueType::Session: {
            const std::optional<long long> number = parse_integer(text);
            if (!number || *number < 0 || *number > static_cast<long long>(UINT32_MAX)) return std::nullopt;
            return static_cast<ViSession>(*number);
        }
        case ValueType::String:
            return std::string(text);
    }
    return std::nullopt;
}

std::string format_value(const AttributeInfo& attribute, const AttributeValue& value) {
    switch (attribute.type) {
        case ValueType::Int32: {
            const ViInt32 number = std::get<ViInt32>(value);
            if (const std::optional<std::string_view> name = enum_value_name(attribute, number)) {
                return std::string(*name);
            }
            return std::to_string(number);
        }
        case ValueType::Real64: return format_real(std::get<ViReal64>(value));
        case ValueType::Boolean: return std::get<ViBoolean>(value) != VI_FALSE ? "true" : "false";
        case ValueType::Session: return std::to_string(std::get<ViSession>(value));
        case ValueType::String: return std::get<std::string>(value);
    }
    return {};
}

ViStatus read_attribute(ViSession vi, const AttributeInfo& attribute, ViConstString channel,
                        AttributeValue& value) {
    ViStatus status = VI_SUCCESS;
    switch (attribute.type) {
        case ValueType::Int32: {
            ViInt32 number = 0;
            status = HnVQR_GetAttributeViInt32(vi, channel, attribute.id, &number);
            value = number;
            break;
        }
        case ValueType::Real64: {
            ViReal64 number = 0.0;
            status = HnVQR_GetAttributeViReal64(vi, channel, attribute.id, &number);
            value = number;
            break;
        }
        case ValueType::Boolean: {
            ViBoolean flag = VI_FALSE;
            status = HnVQR_GetAttributeViBoolean(vi, channel, attribute.id, &flag);
            value = flag;
            break;
        }
        case ValueType::Session: {
            ViSession session = VI_NULL;
            status = HnVQR_GetAttributeViSession(vi, channel, attribute.id, &session);
            value = session;
            break;
        }
        case ValueType::String: {
            // A size of 0 asks for the size needed; values are always shorter than that.
            const ViStatus needed = HnVQR_GetAttributeViString(vi, channel, attribute.id, 0, nullptr);
            if (needed <= 0) return needed < 0 ? needed : VI_SUCCESS;
            std::vector<ViChar> buffer(static_cast<std::size_t>(needed) + 1, '\0');
            status = HnVQR_GetAttributeViString(vi, channel, attribute.id, static_cast<ViInt32>(buffer.size()),
                                                buffer.data());
            buffer.back() = '\0';
            value = std::string(buffer.data());
            break;
        }
    }
    return status;
}

ViStatus write_attribute(ViSession vi, const AttributeInfo& attribute, ViConstString channel,
                         const AttributeValue& value) {
    switch (attribute.type) {
        case ValueType::Int32:
            return HnVQR_SetAttributeViInt32(vi, channel, attribute.id, std::get<ViInt32>(value));
        case ValueType::Real64:
            return HnVQR_SetAttributeViReal64(vi, channel, attribute.id, std::get<ViReal64>(value));
        case ValueType::Boolean:
            return HnVQR_SetAttributeViBoolean(vi, channel, attribute.id, std::get<ViBoolean>(value));
        case ValueType::Session:
            return HnVQR_SetAttributeViSession(vi, channel, attribute.id, std::get<ViSession>(value));
        case ValueType::String:
            return HnVQR_SetAttributeViString(vi, channel, attribute.id, std::get<std::string>(value).c_str());
    }
    return VI_SUCCESS;
}

std::string describe_failure(ViSession vi, ViStatus status, std::string_view subject) {
    ViStatus recorded = VI_SUCCESS;
    const ViStatus needed = HnVQR_GetError(vi, &recorded, 0, nullptr);
    if (needed > 1) {
        std::vector<ViChar> description(static_cast<std::size_t>(needed), '\0');
        HnVQR_GetError(vi, &recorded, needed, description.data());
        description.back() = '\0';
        if (description.front() != '\0') return description.data();
    }
    // Some failures (VISA statuses, unsupported trigger attributes) record no description.
    std::array<ViChar, 256> message{};
    if (HnVQR_error_message(vi, status, message.data()) >= 0) {
        message.back() = '\0';
        std::string text = message.data();
        if (!text.empty()) {
            const std::size_t placeholder = text.find("%s");
            if (placeholder != std::string::npos && !subject.empty()) text.replace(placeholder, 2, subject);
            return text;
        }
    }
    std::array<char, 96> fallback{};
    std::snprintf(fallback.data(), fallback.size(), "Status 0x%08" PRIX32 " (the driver has no description for it).",
                  static_cast<std::uint32_t>(status));
    return fallback.data();
}

}  // namespace hnvqr::tool
