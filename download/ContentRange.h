#pragma once
// Reading a "Content-Range" response header line, which comes from the server and is trusted no
// further than its syntax: a ranged part appends a body only where the server says it starts.
#include <cstdint>
#include <string_view>

namespace Download {

// The first byte position of a header line "Content-Range: bytes <first>-<last>/<size>" (name
// without case, blanks around the value allowed); -1 for any other line, a position that does not
// fit in 63 bits, or an unsatisfied-range form ("bytes */<size>").
int64_t ContentRangeStart(std::string_view headerLine);

}  // namespace Download
