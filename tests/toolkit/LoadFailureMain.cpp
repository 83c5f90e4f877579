// A program whose window layout is missing: it must tell the user and end with exit code 1.
#include "toolkit/GtkHost.h"
#include "toolkit/SkinResources.h"
#include "toolkit/WindowBase.h"

namespace {
class MissingWnd : public Toolkit::CWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"MissingWnd"; }
    std::wstring GetSkinFile() override { return L"MissingWnd.xml"; }
};
}  // namespace

int main(int argc, char** argv) {
    Toolkit::InitGtkHost(&argc, &argv);
    const char empty[] = "";
    Toolkit::SkinResources::Instance().OpenZip(empty, 0);
    MissingWnd window;
    window.Create(nullptr, L"Quorvex");
    return 0;  // not reached: a layout failure ends the process
}
