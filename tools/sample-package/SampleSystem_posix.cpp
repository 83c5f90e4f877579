#include "tools/sample-package/SampleSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

extern char** environ;

namespace sample {

namespace {

bool WriteFd(int fd, const std::string& bytes) {
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

pid_t StartSleep(const std::string& seconds) {
    std::string program = "/bin/sleep", arg = seconds;
    char* argv[] = {program.data(), arg.data(), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) { return {argv + (argc > 0 ? 1 : 0), argv + argc}; }

bool WriteOut(const std::string& bytes) { return WriteFd(1, bytes); }
bool WriteErr(const std::string& bytes) { return WriteFd(2, bytes); }

std::string Encode(const std::string& utf8, const std::string& codePage) {
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

std::filesystem::path PathFromUtf8(const std::string& text) { return text; }
std::string PathToUtf8(const std::filesystem::path& path) { return path.native(); }
FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool CreateFolders(const std::filesystem::path& folder) {
    constexpr mode_t kFolderMode = 0755;
    std::filesystem::path built;
    for (const auto& part : folder) {
        built /= part;
        if (::mkdir(built.c_str(), kFolderMode) != 0) {
            if (errno != EEXIST) return false;
            continue;  // someone else's folder keeps its own mode
        }
        // The mask may have taken bits away: set the mode on the folder just made (never through
        // a link put in its place since).
        const int fd = ::open(built.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return false;
        const bool ok = ::fchmod(fd, kFolderMode) == 0;
        ::close(fd);
        if (!ok) return false;
    }
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec);
}

bool WriteProgram(const std::filesystem::path& target, const char* data, size_t size) {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.close();
    if (!out) return false;
    return ::chmod(target.c_str(), 0755) == 0;
}

bool StartLingeringChild(const std::string& seconds) {
    // Inherits descriptors 0..2: the installer's pipes stay open after this process ends.
    return StartSleep(seconds) > 0;
}

void HangWithChild(const std::string& pidFile) {
    // "sleep" in this process group: what stops the package must stop its whole group.
    const pid_t child = StartSleep("3600");
    if (!pidFile.empty()) {
        std::ofstream out(pidFile, std::ios::binary | std::ios::trunc);
        out << ::getpid() << " " << child << "\n";
    }
    WaitForever();
}

void WaitForever() {
    for (;;) ::pause();
}

}  // namespace sample
