// Fuzz target: the skin archive reader. A skin may also come from a zip file a designer or a
// tool names, so arbitrary bytes are opened as an archive and every entry read, by its stored
// name and by a name with "\" separators and other letter case. Must never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/SkinResources.h"
#include "utils/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Toolkit::SkinResources skin;
    if (!skin.OpenZipCopy(std::vector<std::uint8_t>(data, data + size))) return 0;
    std::string bytes;
    for (const std::string& name : skin.EntryNames()) {
        const std::wstring wide = Utils::FromUtf8(name);
        (void)skin.Read(wide, bytes);
        std::wstring other = wide;
        for (wchar_t& c : other) {
            if (c == L'/') c = L'\\';
            else if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        }
        (void)skin.Exists(other);
        (void)Toolkit::SkinResources::NormalizeName(other);
    }
    return 0;
}
