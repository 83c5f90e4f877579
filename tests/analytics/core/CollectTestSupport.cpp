#include "tests/analytics/core/CollectTestSupport.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "analytics/core/Sdk.h"

namespace collecttest {
namespace {

// Once per test program, before any thread: libcurl's global state and a fixed time zone (UTC+8,
// written POSIX-style so no zone database is needed) for the date-time texts.
class CollectEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        setenv("TZ", "CST-8", 1);
        tzset();
        // The records must reach 127.0.0.1 directly, whatever proxy the machine names.
        for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
            unsetenv(name);
        unsetenv("CURL_CA_BUNDLE");
        unsetenv("SSL_CERT_FILE");
    }
    void TearDown() override { curl_global_cleanup(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CollectEnvironment);

}  // namespace

StderrCapture::StderrCapture() { ::testing::internal::CaptureStderr(); }

StderrCapture::~StderrCapture() {
    if (active_) ::testing::internal::GetCapturedStderr();
}

std::string StderrCapture::Take() {
    if (!active_) return {};
    active_ = false;
    return ::testing::internal::GetCapturedStderr();
}

void CollectorTest::SetUp() {
    std::string error;
    ASSERT_TRUE(collector_.Start(0, std::nullopt, &error)) << error;
}

void CollectorTest::TearDown() {
    collect::Sdk::Shutdown();
    collector_.Stop();
}

std::string NumberedRecord(int i) { return "{\"n\":" + std::to_string(i) + "}"; }

std::vector<int> NumbersOf(const std::vector<std::string>& records) {
    std::vector<int> numbers;
    for (const std::string& r : records) {
        const auto colon = r.find(':');
        numbers.push_back(colon == std::string::npos ? -1 : std::atoi(r.c_str() + colon + 1));
    }
    return numbers;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> out;
    for (int i = from; i < to; ++i) out.push_back(i);
    return out;
}

std::uint16_t UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ADD_FAILURE() << "cannot reserve a port";
    ::close(fd);
    return ntohs(address.sin_port);
}

TestCertificates MakeTestCertificates(const std::filesystem::path& folder) {
    const std::string d = folder.string();
    TestCertificates c{d + "/ca.pem", d + "/server.pem", d + "/server.key"};
    const std::string script =
        "set -e; cd '" + d + "'; "
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj '/CN=Quorvex Test CA' -keyout ca.key -out ca.pem; "
        "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj '/CN=127.0.0.1' "
        "-keyout server.key -out server.csr; "
        "printf 'subjectAltName=IP:127.0.0.1\\nbasicConstraints=CA:FALSE\\n' > ext.cnf; "
        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
        "-extfile ext.cnf -out server.pem";
    const std::string command = "( " + script + " ) >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "openssl could not make the test certificates";
    return c;
}

}  // namespace collecttest
