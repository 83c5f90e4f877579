#include "ui/skin/TextFitting.h"

#include "toolkit/Label.h"
#include "toolkit/PaintManager.h"

namespace Skin {

void FitTextWidths(Toolkit::CPaintManagerUI& window) {
    struct Fit {
        const wchar_t* name;
        int extra;
    };
    static const Fit kFits[] = {
        {L"installDirLbl", 0}, {L"otherLbl", 0},   {L"langLbl", 0},     {L"ProductName", 0},
        {L"ProductName1", 0},  {L"createDSCb", 22}, {L"createQSCb", 22}, {L"insFinish", 22},
    };
    for (const Fit& fit : kFits) {
        auto* label = dynamic_cast<Toolkit::CLabelUI*>(window.FindControl(fit.name));
        if (label) label->SetFixedWidth(label->MeasureText().cx + fit.extra);
    }
    window.NeedUpdate();
}

}  // namespace Skin
