// The payload as resources of the package's own executable (RCDATA "PRODUCT" and
// "UNINSTALLER", put in by the build's resource script).
#include "tools/sample-package/Payload.h"

#include "utils/WindowsApi_win32.h"

namespace sample {

namespace {

// Resources of the running module stay mapped for its whole life: nothing to free.
PayloadBytes Resource(const wchar_t* name) {
    HRSRC info = ::FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!info) return {};
    HGLOBAL loaded = ::LoadResource(nullptr, info);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return {};
    return {static_cast<const char*>(data), ::SizeofResource(nullptr, info)};
}

}  // namespace

PayloadBytes ProductPayload() { return Resource(L"PRODUCT"); }
PayloadBytes UninstallerPayload() { return Resource(L"UNINSTALLER"); }

}  // namespace sample
