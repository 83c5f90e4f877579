#include "app/CrashReporter.h"

#include <algorithm>

bool CrashReporter::Requested(const std::vector<std::wstring>& arguments) {
    return arguments.size() > 1 && std::find(arguments.begin() + 1, arguments.end(), kOption) != arguments.end();
}
