#pragma once
// The JSON text of record values. The output is fixed byte for byte (the collection service and
// the staging file both depend on it) and never depends on the process locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace collect::json {

// A quoted string with only these escapes: \b \t \n \f \r \" \\. Every other byte is copied as
// it is, so the text must already have passed the string rule to be valid JSON.
void AppendString(std::string& out, std::string_view text);

// Like a default-formatted output stream: six significant digits in general notation
// ("2.5", "100", "1.23457e+06"), always with '.' as the decimal point. A value that is not
// finite has no JSON form and is written as null.
void AppendNumber(std::string& out, double value);

void AppendInteger(std::string& out, std::int64_t value);
void AppendBool(std::string& out, bool value);

// The local date and time of `seconds` since 1970 (UTC) plus `milliseconds`, as
// "\"YYYY-MM-DD hh:mm:ss.mmm\"" (quotes included). A time the C library cannot convert is
// written with every field zero.
void AppendDateTime(std::string& out, std::int64_t seconds, std::int32_t milliseconds);

}  // namespace collect::json
