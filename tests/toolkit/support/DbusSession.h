#pragma once
// A private D-Bus session bus for one test program (the accessibility bus and registry are
// started on it on demand), so screen-reader tests never touch the user's session.
#include <string>

namespace DbusSession {

// Starts dbus-daemon and points DBUS_SESSION_BUS_ADDRESS at it. False when it cannot start.
bool Start(std::string* error);
void Stop();

}  // namespace DbusSession
