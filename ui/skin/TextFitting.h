#pragma once
// The main window sizes some controls to their text, after the layout is built and again after
// every language switch: the labels before the fields take exactly their measured width, the
// check boxes and the finish label their measured width plus 22 (the 18-pixel box and the
// space before its text). Controls the layout lacks are skipped.
//
// Thread: the user-interface thread of the window.
namespace Toolkit {
class CPaintManagerUI;
}

namespace Skin {

void FitTextWidths(Toolkit::CPaintManagerUI& window);

}  // namespace Skin
