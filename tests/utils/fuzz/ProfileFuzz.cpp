// Profile files are read from disk where anyone may have written them: the reader must accept
// any bytes, and a write must keep every line it did not change.
#include <cstdint>
#include <string>

#include "utils/ProfileFile.h"
#include "utils/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Utils::ProfileFile p = Utils::ProfileFile::Parse(text);
    (void)p.Get(L"Install", L"DownloadUrl");
    const auto piece = [&](size_t at, size_t n) { return Utils::FromUtf8(at < text.size() ? text.substr(at, n) : ""); };
    const std::wstring section = piece(0, 8);
    const std::wstring key = piece(8, 8);
    const std::wstring value = piece(16, 16);
    const std::string before = p.Serialize();
    if (p.Set(section, key, value)) {
        // What was set reads back as set, up to the blank and quote rules.
        auto got = p.Get(section, key);
        if (!got) __builtin_trap();
        // Setting again is a no-op on the text.
        const std::string once = p.Serialize();
        p.Set(section, key, value);
        if (p.Serialize() != once) __builtin_trap();
    } else if (p.Serialize() != before) {
        __builtin_trap();  // a refused write must change nothing
    }
    return 0;
}
