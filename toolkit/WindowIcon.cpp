#include "toolkit/WindowIcon.h"

#include "toolkit/WindowBase.h"

namespace Toolkit {
namespace {
std::vector<std::vector<unsigned char>>& Icons() {
    static std::vector<std::vector<unsigned char>> icons;
    return icons;
}
}  // namespace

void SetWindowIconImages(std::vector<std::vector<unsigned char>> pngFiles) {
    Icons() = std::move(pngFiles);
    for (CWindowBase* window : CWindowBase::OpenWindows())
        if (INativeWindow* native = window->Native()) native->SetIconImages(Icons());
}

const std::vector<std::vector<unsigned char>>& WindowIconImages() { return Icons(); }

}  // namespace Toolkit
