#pragma once
// Output and argument helpers shared by the sample package and its uninstaller. Status lines
// go straight to descriptor 1 with write(2), one call per piece, so that the installer sees
// them as the program produces them (no stdio buffering).
#include <cerrno>
#include <chrono>
#include <iconv.h>
#include <langinfo.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sample {

inline bool WriteFd(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

inline void Pause(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// UTF-8 text converted to the code page a status stream declared: "" or "UTF8" keeps UTF-8,
// "ACP" is the locale's charset, a number N is "CP"N. Unconvertible text is sent as is.
inline std::string Encode(const std::string& utf8, const std::string& codePage) {
    if (codePage.empty() || codePage == "UTF8" || codePage == "65001") return utf8;
    const std::string to = codePage == "ACP" || codePage == "0" ? nl_langinfo(CODESET) : "CP" + codePage;
    iconv_t cd = iconv_open(to.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return utf8;
    out.resize(out.size() - outLeft);
    return out;
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
