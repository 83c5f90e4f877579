#pragma once
// Where the collection core reports what it refuses or fails to do. The core never throws to its
// callers and never returns these texts: each message goes to the program's handler when it set
// one (the installer hands them to its diagnostic trace), else to the standard error stream,
// written with one call so that messages of concurrent threads do not interleave.
#include <string_view>

namespace collect::detail {

// Takes one message (text as ReportError got it). Called from any thread, possibly at once.
using ReportHandler = void (*)(std::string_view text);

// Sends every later message to `handler`; nullptr restores standard error. Set it before the
// core starts (no message may be in flight).
void SetReportHandler(ReportHandler handler);

// Hands `text` as is (no line break is added) to the handler or standard error. Safe from any
// thread.
void ReportError(std::string_view text);

}  // namespace collect::detail
