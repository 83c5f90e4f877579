#pragma once
// Helpers shared by the process tests: the probe's command line and reading a pipe to its end.
#include <cstddef>
#include <string>

#include "utils/Pipe.h"
#include "utils/StringUtils.h"

namespace processtest {

inline std::string ReadAll(Utils::Pipe& p) {
    std::string out;
    char buf[4096];
    std::ptrdiff_t n;
    while ((n = p.Read(buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
}

// The probe program's command line with `rest` after it.
inline std::wstring Probe(const std::wstring& rest) { return L"\"" + Utils::FromUtf8(CHILD_PROBE) + L"\" " + rest; }

}  // namespace processtest
