// The user's Internet settings as the libcurl downloaders read them (WinHTTP's current-user
// configuration). The test writes the settings of its own user, so it runs only under wine,
// where the user is the test prefix's; the settings found are put back at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/ProxyResolver.h"
#include "tests/download/AnyDownloader.h"
#include "tests/support/ProxyVariables.h"
#include "utils/WindowsApi_win32.h"

using namespace DownloadTest;

namespace {

constexpr wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kValue[] = L"DefaultConnectionSettings";

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void PutString(std::vector<uint8_t>& blob, const std::string& text) {
    const uint32_t size = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) blob.push_back(static_cast<uint8_t>(size >> (8 * i)));
    blob.insert(blob.end(), text.begin(), text.end());
}

// The WinINet connection-settings record: version, counter, flags (2: fixed proxy), proxy
// list, bypass list, configuration script address, then reserved bytes.
std::vector<uint8_t> SettingsBlob(const std::string& proxy, const std::string& bypass) {
    std::vector<uint8_t> blob = {0x46, 0, 0, 0, 1, 0, 0, 0, 0x03, 0, 0, 0};
    PutString(blob, proxy);
    PutString(blob, bypass);
    PutString(blob, "");
    blob.resize(blob.size() + 32, 0);
    return blob;
}

// Replaces the current user's connection settings for its lifetime.
class InternetSettings {
public:
    InternetSettings(const std::string& proxy, const std::string& bypass) {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                              nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        if (::RegQueryValueExW(key_, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            saved_.emplace(size);
            if (::RegQueryValueExW(key_, kValue, nullptr, nullptr, saved_->data(), &size) != ERROR_SUCCESS)
                saved_.reset();
        }
        const std::vector<uint8_t> blob = SettingsBlob(proxy, bypass);
        written_ = ::RegSetValueExW(key_, kValue, 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size())) ==
                   ERROR_SUCCESS;
    }
    ~InternetSettings() {
        if (!key_) return;
        if (saved_) ::RegSetValueExW(key_, kValue, 0, REG_BINARY, saved_->data(), static_cast<DWORD>(saved_->size()));
        else ::RegDeleteValueW(key_, kValue);
        ::RegCloseKey(key_);
    }
    InternetSettings(const InternetSettings&) = delete;
    InternetSettings& operator=(const InternetSettings&) = delete;
    bool Written() const { return written_; }

private:
    HKEY key_ = nullptr;
    std::optional<std::vector<uint8_t>> saved_;
    bool written_ = false;
};

TEST(ProxyInternetSettingsLive, FixedProxyAndBypassListFromTheUsersSettings) {
    if (!UnderWine()) GTEST_SKIP() << "changes the user's Internet settings: wine only";
    testsupport::ProxyVariables variables;
    InternetSettings settings("http=web.example:8080;https=secure.example:8443", "*.corp;<local>");
    ASSERT_TRUE(settings.Written());
    EXPECT_EQ(Download::ProxyForUrl("http://www.example.com/p"), "web.example:8080");
    EXPECT_EQ(Download::ProxyForUrl("https://www.example.com/p"), "secure.example:8443");
    EXPECT_EQ(Download::ProxyForUrl("http://a.corp/p"), "");
    EXPECT_EQ(Download::ProxyForUrl("http://intranet/p"), "");
    EXPECT_EQ(Download::ProxyForUrl("http://127.0.0.1:8/p"), "") << "loopback bypasses by default";

    variables.Set("http_proxy", "http://env.example:3128");
    EXPECT_EQ(Download::ProxyForUrl("http://www.example.com/p"), "http://env.example:3128")
        << "the environment comes first";
}

TEST(ProxyInternetSettingsLive, ProxyFromTheSettingsThatIsDownFailsTheCurlDownload) {
    if (!UnderWine()) GTEST_SKIP() << "changes the user's Internet settings: wine only";
    TempDir root, out;
    WriteRandomFile(root.File("pkg.bin"), 100000, 7);
    TestServer server(root.Path());
    std::string dead;
    {
        TestServer gone(root.Path());
        dead = "127.0.0.1:" + std::to_string(gone->Port());
    }
    testsupport::ProxyVariables variables;
    InternetSettings settings(dead, "<-loopback>");
    ASSERT_TRUE(settings.Written());

    TraceCapture trace;
    AnyDownload download(Kind::Single, server->FileUrl("pkg.bin"), out.File("pkg.bin"));
    ASSERT_TRUE(download.Run());
    const std::string lines = trace.Finish();
    EXPECT_EQ(download.events.Last().code, DL_CODE_FAIL);
    EXPECT_NE(lines.find("proxy " + dead + " could not be reached"), std::string::npos) << lines;
    EXPECT_TRUE(server.Gets().empty());
}

}  // namespace
