// The upload over TLS. Linux only: the Windows build of the test collector serves plain HTTP,
// and the certificates come from the openssl program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

#include "analytics/core/RecordSender.h"
#include "tests/analytics/core/CollectTestSupport.h"
#include "tests/support/ScopedEnv.h"

extern char** environ;

namespace {

// Runs openssl with these arguments (no shell), its output discarded; true when it exits 0.
bool RunOpenssl(std::vector<std::string> args) {
    args.insert(args.begin(), "openssl");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    bool ok = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
              posix_spawn_file_actions_adddup2(&actions, 1, 2) == 0;
    pid_t pid = -1;
    ok = ok && posix_spawnp(&pid, "openssl", &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!ok) return false;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct TestCertificates {
    std::string caFile, certificateFile, keyFile;
};

// A CA and a server certificate for 127.0.0.1 signed by it, in `folder`.
TestCertificates MakeTestCertificates(const std::filesystem::path& folder) {
    const std::string d = folder.string() + "/";
    TestCertificates c{d + "ca.pem", d + "server.pem", d + "server.key"};
    std::ofstream(d + "ext.cnf") << "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n";
    const bool made =
        RunOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days",
                    "2", "-subj", "/CN=Quorvex Test CA", "-keyout", d + "ca.key", "-out", c.caFile}) &&
        RunOpenssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                    "/CN=127.0.0.1", "-keyout", c.keyFile, "-out", d + "server.csr"}) &&
        RunOpenssl({"x509", "-req", "-in", d + "server.csr", "-CA", c.caFile, "-CAkey", d + "ca.key",
                    "-CAcreateserial", "-days", "2", "-extfile", d + "ext.cnf", "-out", c.certificateFile});
    if (!made) ADD_FAILURE() << "openssl could not make the test certificates";
    return c;
}

class TransportTlsTest : public collecttest::CollectorTest {};

TEST_F(TransportTlsTest, TlsVerifiesTheCollectorAndHonoursTheCaBundleVariables) {
    const TestCertificates certs = MakeTestCertificates(temp_.path());
    collector::TestCollector secure;
    std::string error;
    ASSERT_TRUE(secure.Start(0, collector::TlsFiles{certs.certificateFile, certs.keyFile}, &error)) << error;
    const collect::RecordSender sender(secure.Url());

    // The exchange has three seconds in all; on a loaded machine a first handshake with the
    // sanitized test collector can take longer, which says nothing about verification. A send
    // that timed out is tried again, a few times at most.
    const auto send = [&sender](std::string* diagnostics) {
        for (int attempt = 0;; ++attempt) {
            collecttest::StderrCapture err;
            const bool sent = sender.Send("[{\"a\":1}]");
            *diagnostics = err.Take();
            if (sent || attempt == 4 || diagnostics->find("timed out") == std::string::npos) return sent;
        }
    };
    std::string diagnostics;
    EXPECT_FALSE(send(&diagnostics)) << "an unknown CA must be refused";
    EXPECT_NE(diagnostics.find("EventCollect SDK send failed: SSL certificate problem"), std::string::npos)
        << diagnostics;
    for (const char* variable : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        testsupport::ScopedEnv::Set(variable, certs.caFile.c_str());
        EXPECT_TRUE(send(&diagnostics)) << variable << ": " << diagnostics;
        testsupport::ScopedEnv::Set(variable, nullptr);
    }
    EXPECT_GE(secure.RecordCount(), 2u);  // more when a timed-out send had reached it
    secure.Stop();
}

}  // namespace
