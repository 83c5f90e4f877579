// The splitter sees whatever the user or a caller puts on a command line; it must accept any
// text, and quoting the pieces must give them back.
#include <cstdint>
#include <string>

#include "utils/CommandLine.h"
#include "utils/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring line = Utils::FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    const auto args = Utils::SplitCommandLine(line);
    if (args.size() < 2) return 0;
    std::wstring rebuilt = L"prog";
    for (size_t i = 1; i < args.size(); ++i) rebuilt += L" " + Utils::QuoteArgument(args[i]);
    auto again = Utils::SplitCommandLine(rebuilt);
    again[0] = args[0];
    if (again != args) __builtin_trap();
    return 0;
}
