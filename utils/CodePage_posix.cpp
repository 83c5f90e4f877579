// Code-page conversions on Linux: iconv, with the locale's charset standing in for the
// system code page.
#include "utils/StringUtils.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <vector>

namespace Utils {
namespace {

std::string CharsetName(unsigned codePage) {
    if (codePage == kCodePageSystem) {
        // nl_langinfo reflects LC_CTYPE, which main() sets from the environment.
        const char* cs = nl_langinfo(CODESET);
        return (cs && *cs) ? cs : "UTF-8";
    }
    if (codePage == kCodePageUtf8) return "UTF-8";
    return "CP" + std::to_string(codePage);
}

// Converts with iconv; any invalid or incomplete sequence fails the whole conversion, as the
// Windows functions do with their strict flags. Returns false on failure.
bool IconvAll(const char* to, const char* from, const char* in, size_t inBytes, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buffer(inBytes * 4 + 16);
    char* inPtr = const_cast<char*>(in);
    size_t inLeft = inBytes;
    out.clear();
    bool ok = true;
    while (true) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t rc = iconv(cd, inLeft ? &inPtr : nullptr, inLeft ? &inLeft : nullptr, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<size_t>(-1)) {
            if (inLeft == 0) {
                // Flush any shift state.
                outPtr = buffer.data();
                outLeft = buffer.size();
                iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
                out.append(buffer.data(), buffer.size() - outLeft);
                break;
            }
            continue;
        }
        if (errno == E2BIG) continue;
        ok = false;  // EILSEQ or EINVAL
        break;
    }
    iconv_close(cd);
    return ok;
}

}  // namespace

std::string WideToMultiByte(const std::wstring& text, unsigned codePage) {
    const std::wstring cut = text.substr(0, text.find(L'\0'));
    if (cut.empty()) return {};
    if (codePage == kCodePageUtf8) return ToUtf8(cut);
    std::string out;
    if (!IconvAll(CharsetName(codePage).c_str(), "WCHAR_T", reinterpret_cast<const char*>(cut.data()),
                  cut.size() * sizeof(wchar_t), out))
        return {};
    return out;
}

std::wstring MultiByteToWide(const std::string& text, unsigned codePage) {
    const std::string cut = text.substr(0, text.find('\0'));
    if (cut.empty()) return {};
    if (codePage == kCodePageUtf8) {
        if (!IsValidUtf8(cut)) return {};
        return FromUtf8(cut);
    }
    std::string out;
    if (!IconvAll("WCHAR_T", CharsetName(codePage).c_str(), cut.data(), cut.size(), out)) return {};
    std::wstring wide(out.size() / sizeof(wchar_t), L'\0');
    std::copy(out.data(), out.data() + wide.size() * sizeof(wchar_t), reinterpret_cast<char*>(wide.data()));
    return wide;
}

}  // namespace Utils
