#pragma once
// A private X server for one test program: tests that move the real pointer must not share a
// display with other programs running at the same time.
#include <string>

namespace XvfbDisplay {

// Starts Xvfb on a free display and points DISPLAY at it. False when Xvfb cannot start.
bool Start(std::string* error);
void Stop();

}  // namespace XvfbDisplay
