// The POSIX-only helpers of the download tests: the TLS test certificates come from a shell
// script, and only the Linux package server serves TLS.
#include "tests/download/DownloadTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

namespace DownloadTest {

bool MakeTestCa(const std::string& dir) {
    const std::string script = std::string(QV_SOURCE_DIR) + "/tools/package-server/make-test-ca.sh";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/bash", "bash", script.c_str(), dir.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && Exists(dir + "/ca.pem") && Exists(dir + "/server.pem");
}

}  // namespace DownloadTest
