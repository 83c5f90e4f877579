#pragma once
// The screen size the analytics report ($screen_width, $screen_height), from the desktop's
// windowing system.
#include "utils/SystemInfo.h"

// The primary monitor's size in device pixels from GDK (the first monitor where the display
// names no primary one), {0, 0} when no display can be opened. Opens and closes its own
// display connection, so it works before and independently of the window's toolkit start-up.
Utils::ScreenSize GdkPrimaryScreenSize();

// Hands GdkPrimaryScreenSize to Utils::PrimaryScreenSize (start-up, main thread).
void InstallScreenSizeProvider();
