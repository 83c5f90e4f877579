#include "utils/ProcessArguments.h"

#include <fstream>
#include <iterator>

#include "utils/StringUtils.h"

namespace Utils {

std::vector<std::wstring> ProcessArguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::wstring> args;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        args.push_back(FromUtf8(raw.substr(start, end - start)));
        start = end + 1;
    }
    return args;
}

}  // namespace Utils
