#pragma once
// The screen size the analytics report ($screen_width, $screen_height), from the desktop's
// windowing system.
#include "utils/SystemInfo.h"

// The primary monitor's size in pixels, {0, 0} when no display can be reached. Linux asks GDK
// (the first monitor where the display names no primary one) in device pixels through a
// display connection of its own, so it works before and independently of the window's toolkit
// start-up; Windows asks the system metrics, in the pixels the process's DPI awareness sees.
Utils::ScreenSize PrimaryMonitorSize();

// Hands PrimaryMonitorSize to Utils::PrimaryScreenSize (start-up, main thread).
void InstallScreenSizeProvider();
