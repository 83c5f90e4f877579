#include "tools/sample-package/DesktopEntries.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/sample-package/SampleSystem.h"

namespace fs = std::filesystem;

namespace sample {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string Home() { return Env("HOME"); }

// A string value of a desktop entry: backslash is the escape character.
std::string EscapeValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

// One Exec argument: quoted, with the characters the Exec rules reserve escaped, "%" doubled
// (field codes), then escaped once more as a string value.
std::string ExecArgument(const std::string& s) {
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return EscapeValue(quoted);
}

std::string MarkerLine(const std::string& installFolder) { return "X-Quorvex-Folder=" + EscapeValue(installFolder); }

// Writes `text` to `target` through a fresh file in the same folder renamed over it, so an
// existing link at `target` is replaced, never followed.
bool WriteReplacing(const std::string& target, const std::string& text, mode_t mode) {
    if (!CreateFolders(fs::path(target).parent_path())) return false;
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, mode) == 0;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

std::string MenuEntryFolder() {
    std::string data = Env("XDG_DATA_HOME");
    if (data.empty()) data = ::geteuid() == 0 ? "/usr/local/share" : Home() + "/.local/share";
    return data + "/applications";
}

std::string DesktopFolder() {
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty()) config = Home() + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    for (std::string line; std::getline(in, line);) {
        const std::string key = "XDG_DESKTOP_DIR=\"";
        if (line.compare(0, key.size(), key) != 0 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0) value = Home() + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return Home() + "/Desktop";
}

std::string DesktopEntryText(const std::string& installFolder) {
    if (installFolder.find_first_of("\r\n") != std::string::npos) return "";
    const std::string exe = (fs::path(installFolder) / "compressor.exe").string();
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=Quorvex\n"
           "Comment=Compress files with zlib\n"
           "Exec=" + ExecArgument(exe) + "\n"
           "Path=" + EscapeValue(installFolder) + "\n"
           "Terminal=false\n"
           "Categories=Utility;Archiving;\n"
           "StartupWMClass=quorvex-compressor\n" +
           MarkerLine(installFolder) + "\n";
}

std::vector<std::string> WriteDesktopEntries(const std::string& installFolder, bool desktopIcon) {
    std::vector<std::string> written;
    const std::string text = DesktopEntryText(installFolder);
    if (text.empty()) return written;
    const std::string menu = MenuEntryFolder() + "/" + kEntryFileName;
    if (WriteReplacing(menu, text, 0644)) written.push_back(menu);
    if (desktopIcon) {
        // Desktop shells launch only entries marked executable there.
        const std::string desktop = DesktopFolder() + "/" + kEntryFileName;
        if (WriteReplacing(desktop, text, 0755)) written.push_back(desktop);
    }
    std::string list;
    for (const auto& path : written) list += path + "\n";
    WriteReplacing((fs::path(installFolder) / kEntryListName).string(), list, 0644);
    return written;
}

int RemoveDesktopEntries(const std::string& installFolder) {
    std::ifstream in(fs::path(installFolder) / kEntryListName);
    const std::string marker = MarkerLine(installFolder);
    int removed = 0;
    for (std::string path; std::getline(in, path);) {
        if (path.empty() || path.front() != '/') continue;
        // Only a regular file (not a link) that is still our entry for this folder.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        std::string content;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < 65536) {
            content.resize(static_cast<size_t>(st.st_size));
            const ssize_t n = ::read(fd, content.data(), content.size());
            content.resize(n > 0 ? static_cast<size_t>(n) : 0);
        }
        ::close(fd);
        bool ours = false;
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find('\n', start);
            if (end == std::string::npos) end = content.size();
            if (content.compare(start, end - start, marker) == 0) ours = true;
            start = end + 1;
        }
        if (ours && ::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

}  // namespace sample
