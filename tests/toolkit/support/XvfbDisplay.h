#pragma once
// A private X server for one test program: tests that move the real pointer must not share a
// display with other programs running at the same time.
#include <string>

namespace XvfbDisplay {

// Starts Xvfb on a free display of the given screen ("WxHxDepth") and points DISPLAY at it.
// False when Xvfb cannot start.
bool Start(std::string* error, const char* screen = "1280x800x24");
void Stop();

}  // namespace XvfbDisplay
