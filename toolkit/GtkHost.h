#pragma once
// Puts skinned windows on screen with GTK 3. Call once on the main thread before creating
// windows; it installs the GTK platform (windows, GLib main-loop timers and posting, the
// load-failure message box). Returns false when there is no display: windows then cannot be
// created, and a layout failure is reported on standard error.
namespace Toolkit {

bool InitGtkHost(int* argc, char*** argv);

}  // namespace Toolkit
