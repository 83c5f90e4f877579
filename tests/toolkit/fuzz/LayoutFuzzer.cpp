// Feeds arbitrary bytes to the layout reader (then lays the tree out and walks the input as
// attribute values), which must never crash, hang or leak whatever a skin file holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Values.h"
#include "utils/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Toolkit::CPaintManagerUI manager;
    Toolkit::ManualScheduler clock;
    manager.SetScheduler(&clock);
    Toolkit::BuildResult r = Toolkit::CLayoutBuilder::BuildFromText(text, &manager, nullptr);
    if (r.ok) {
        manager.AttachRoot(std::move(r.root));
        manager.SetClientSize({600, 400});
        manager.UpdateLayout();
        manager.OnMouseMove({10, 10});
        manager.OnKeyDown(Toolkit::Key::Tab);
        manager.DetachRoot();
    }
    const std::wstring wide = Utils::FromUtf8(text);
    (void)Toolkit::ParseImageDescriptor(wide);
    (void)Toolkit::ParseRect(wide);
    (void)Toolkit::ParseColor(wide);
    Toolkit::LayoutMessage msg;
    (void)Toolkit::CLayoutBuilder::LoadSharedFragment(text, &msg);
    return 0;
}
