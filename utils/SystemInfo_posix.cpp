#include "utils/SystemInfo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <memory>
#include <openssl/evp.h>
#include <pwd.h>
#include <sstream>
#include <sys/utsname.h>
#include <unistd.h>
#include <utmpx.h>
#include <uuid/uuid.h>
#include <vector>

#include "utils/StringUtils.h"

namespace Utils {
namespace {

struct EvpCtxDeleter {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

std::pair<std::wstring, std::wstring> GetOsVersionName() {
    std::string release;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        if (!in) continue;
        std::ostringstream ss;
        ss << in.rdbuf();
        release = ss.str();
        break;
    }
    utsname u{};
    const std::string kernel = uname(&u) == 0 ? u.release : "";
    return {L"Linux", OsVersionFromRelease(release, kernel)};
}

bool IsUserAdmin(const std::wstring& userName) {
    const std::string name = ToUtf8(userName);
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwnam_r(name.c_str(), &pw, buf.data(), buf.size(), &found) != 0 || !found) return false;
    if (found->pw_uid == 0) return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(name.c_str(), found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(name.c_str(), found->pw_gid, groups.data(), &count) < 0) return false;
    }
    groups.resize(static_cast<size_t>(count));
    for (const char* admin : {"sudo", "wheel", "admin"}) {
        group gr{};
        group* g = nullptr;
        std::vector<char> gbuf(16384);
        if (getgrnam_r(admin, &gr, gbuf.data(), gbuf.size(), &g) != 0 || !g) continue;
        for (gid_t id : groups)
            if (id == g->gr_gid) return true;
    }
    return false;
}

bool IsProcessAdmin() { return geteuid() == 0; }

bool GetConsoleUserName(std::wstring& name) {
    // utmpx iteration is not thread-safe in glibc; the installer asks from the window thread.
    setutxent();
    bool found = false;
    while (const utmpx* u = getutxent()) {
        if (u->ut_type != USER_PROCESS) continue;
        const std::string line(u->ut_line, strnlen(u->ut_line, sizeof(u->ut_line)));
        const bool console = (line.rfind("tty", 0) == 0 && line.size() > 3 &&
                              line.find_first_not_of("0123456789", 3) == std::string::npos) ||
                             (line.size() > 1 && line[0] == ':');
        if (!console) continue;
        name = FromUtf8(std::string(u->ut_user, strnlen(u->ut_user, sizeof(u->ut_user))));
        found = true;
        break;
    }
    endutxent();
    return found;
}

std::wstring NewGuidString() {
    uuid_t id;
    uuid_generate_random(id);
    wchar_t out[33];
    swprintf(out, 33, L"%02X%02X%02X%02X%02X%02X%02x%02x%02X%02X%02X%02X%02X%02X%02X%02X", id[0], id[1], id[2],
             id[3], id[4], id[5], id[6], id[7], id[8], id[9], id[10], id[11], id[12], id[13], id[14], id[15]);
    return out;
}

std::string FileMd5Hex(const std::string& path) {
    if (path.empty()) return {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<EVP_MD_CTX, EvpCtxDeleter> ctx(EVP_MD_CTX_new());
    bool ok = ctx && EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) == 1;
    // Large blocks: the digest is bound by memory bandwidth, not by system calls.
    constexpr size_t kBlock = 1 << 20;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlock]);
    while (ok) {
        const ssize_t n = ::read(fd, buffer.get(), kBlock);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        ok = EVP_DigestUpdate(ctx.get(), buffer.get(), static_cast<size_t>(n)) == 1;
    }
    ::close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    if (!ok || EVP_DigestFinal_ex(ctx.get(), digest, &len) != 1 || len != 16) return {};
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < len; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

}  // namespace Utils
