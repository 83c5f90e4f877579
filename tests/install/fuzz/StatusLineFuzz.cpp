// Fuzz target: arbitrary package or uninstaller output, cut into reads of varying size, through
// the line buffer and both status parsers. Must never crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "install/PackageStatusParser.h"
#include "install/StatusLineBuffer.h"
#include "install/UninstallStatusParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the read size, as a pipe may deliver any split.
    const size_t step = 1 + data[0] % 64;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    PackageStatusParser package;
    UninstallStatusParser uninstall;
    StatusLineBuffer buffer;
    const DownloadCallback sink = [](int32_t, double, const wchar_t* text) {
        volatile wchar_t first = text ? text[0] : 0;
        (void)first;
    };
    const auto onLine = [&](std::string_view line) {
        package.ParseRawLine(line, sink);
        uninstall.ParseRawLine(line, sink);
    };
    while (!rest.empty()) {
        const std::string_view piece = rest.substr(0, step);
        buffer.Feed(piece.substr(0, piece.find('\0')), onLine);
        rest.remove_prefix(piece.size());
    }
    buffer.Finish(onLine);
    return 0;
}
