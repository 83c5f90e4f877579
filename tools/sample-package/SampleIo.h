#pragma once
// Argument helpers shared by the sample package and its uninstaller (both systems). The
// arguments are UTF-8 (SampleSystem's Arguments).
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace sample {

inline void Pause(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Everything from the argument that starts with `key` to the end of the command line, the
// arguments joined by one blank: installers on Windows take the folder after "/D=" (and
// "_?=") to the end of the line, unquoted, so a folder with blanks arrives here split.
inline bool TailAfter(const std::vector<std::string>& args, const std::string& key, std::string& tail) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].compare(0, key.size(), key) != 0) continue;
        tail = args[i].substr(key.size());
        for (size_t j = i + 1; j < args.size(); ++j) tail += " " + args[j];
        return true;
    }
    return false;
}

// The value of "key=value" among the arguments before `end`; `fallback` when absent.
inline std::string Option(const std::vector<std::string>& args, const std::string& key, const std::string& fallback,
                          size_t end = std::string::npos) {
    for (size_t i = 0; i < args.size() && i < end; ++i)
        if (args[i].compare(0, key.size() + 1, key + "=") == 0) return args[i].substr(key.size() + 1);
    return fallback;
}

inline bool HasSwitch(const std::vector<std::string>& args, const std::string& name, size_t end = std::string::npos) {
    for (size_t i = 0; i < args.size() && i < end; ++i)
        if (args[i] == name) return true;
    return false;
}

}  // namespace sample
