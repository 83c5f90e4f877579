#pragma once
// Where the collection core reports what it refuses or fails to do. The core never throws to its
// callers and never returns these texts: each message goes to the standard error stream, written
// with one call so that messages of concurrent threads do not interleave.
#include <string_view>

namespace collect::detail {

// Writes `text` as is (no line break is added) to standard error. Safe from any thread.
void ReportError(std::string_view text);

}  // namespace collect::detail
