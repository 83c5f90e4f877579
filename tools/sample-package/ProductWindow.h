#pragma once
// The sample product's window: one file chooser, the compression, the result.
#include <string>

namespace sample {

// Compresses `source` into `target` = source + ".gz"; false when a file cannot be read or
// written (or the source is not a regular file).
bool CompressFile(const std::string& source, std::string& target);

// Opens the window (title "Quorvex", WM_CLASS "quorvex-compressor") and runs until it closes.
// Returns 0, or 2 without a display.
int RunProductWindow(int* argc, char*** argv);

}  // namespace sample
