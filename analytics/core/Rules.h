#pragma once
// The rules that identifiers, event names, property keys and string values must satisfy before
// they enter a record. Each check writes its fixed message to standard error when it fails; the
// caller then drops the record (or, for a string value, the one property).
#include <cstddef>
#include <string_view>

namespace collect::rules {

inline constexpr std::size_t kMaxIdentifierBytes = 255;  // distinct id, original id
inline constexpr std::size_t kMaxNameBytes = 100;        // event names, property keys
inline constexpr std::size_t kMaxStringBytes = 8192;     // string property values

// Labels the record code uses with the checks below.
inline constexpr std::string_view kDistinctIdLabel = "Distinct ID";
inline constexpr std::string_view kOriginalIdLabel = "Original ID";
inline constexpr std::string_view kEventNameLabel = "Event Name";
inline constexpr std::string_view kPropertyKeyLabel = "Property Key";

// The accepted subset of UTF-8: the printable ASCII bytes plus tab, line feed and carriage
// return, and the well-formed multi-byte sequences (no overlong forms, no surrogates, nothing
// above U+10FFFF). Every other control byte, 7F included, is refused, so a string that passes can
// be written into JSON with the writer's few escapes.
bool IsValidUtf8(std::string_view text);

// Identifier rule: 1 to 255 bytes. Messages (with a line break):
// "The <label> is empty." / "The <label> is too long, max length is 255."
bool CheckIdentifier(std::string_view label, std::string_view text);

// Name rule: 1 to 100 bytes; first byte A-Z, a-z, '$' or '_'; the others also 0-9. Messages
// (without a line break): "The <label> is empty or too long, max length is 100" /
// "The <label> need to be a valid variable name."
bool CheckName(std::string_view label, std::string_view text);

// String value rule: at most 8192 bytes of accepted UTF-8. Messages (with a line break):
// "String property '<key>' is too long, value: <value>" /
// "String property '<key>' is not valid UTF-8 string, value: <value>"
bool CheckStringValue(std::string_view key, std::string_view value);

// The name rule without a message, for callers that only need the verdict.
bool IsValidName(std::string_view text);

}  // namespace collect::rules
