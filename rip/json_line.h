#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace ripwarden {

// One line of a JSON Lines file: an object whose members keep the order they
// were set in, so that a line can be found by how it starts.
using JsonLine = nlohmann::ordered_json;

// A text as a member value. The library takes UTF-8 only, so each byte that
// is not UTF-8 (a disc label in an old code page) is carried to DumpLine, which
// writes it as "\u00XX": other readers take that as Latin-1, and TextMember
// reads it back to the same byte.
JsonLine TextValue(std::string_view text);
JsonLine IntegerValue(const std::optional<std::int64_t>& value);
// Seconds to the millisecond; null when missing or not finite.
JsonLine SecondsValue(const std::optional<double>& value);

std::string DumpLine(const JsonLine& line);

// The object a line holds; nothing for a line that is not one. Never throws.
std::optional<JsonLine> ParseLine(std::string_view line);

// A member of the kind asked for; empty or nothing when missing or of
// another kind.
std::string TextMember(const JsonLine& object, const char* name);
std::optional<std::int64_t> IntegerMember(const JsonLine& object, const char* name);
std::optional<double> SecondsMember(const JsonLine& object, const char* name);

}  // namespace ripwarden
