#include "download/Authenticode.h"

#include <cstdio>

#include "download/Hash.h"
#include "download/UrlDigest.h"
#include "utils/WindowsApi_win32.h"
#include <softpub.h>
#include <wintrust.h>

namespace Download {
namespace {

// The verification state WinVerifyTrust keeps between its "verify" and "close" calls; it must
// be released by a second call with the same data, whatever the verdict was.
class TrustState {
public:
    explicit TrustState(const std::wstring& path) {
        file_.cbStruct = sizeof(file_);
        file_.pcwszFilePath = path.c_str();
        data_.cbStruct = sizeof(data_);
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        // No network fetches while checking (see Authenticode.h): neither revocation lists nor
        // missing intermediate certificates are downloaded.
        data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    }
    ~TrustState() {
        if (!verified_) return;
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
    }
    TrustState(const TrustState&) = delete;
    TrustState& operator=(const TrustState&) = delete;

    LONG Verify() {
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        verified_ = true;
        return ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
    }
    HANDLE State() const { return data_.hWVTStateData; }

private:
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    bool verified_ = false;
};

std::string Hex32(LONG status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
    return text;
}

std::string TrustFailure(LONG status) {
    const std::string code = " (" + Hex32(status) + ")";
    switch (static_cast<HRESULT>(status)) {
        case TRUST_E_NOSIGNATURE:
        case TRUST_E_SUBJECT_FORM_UNKNOWN:
        case TRUST_E_PROVIDER_UNKNOWN:
            return "the package carries no Authenticode signature" + code;
        case TRUST_E_BAD_DIGEST:
            return "the package was changed after it was signed" + code;
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_CHAINING:
        case CERT_E_UNTRUSTEDTESTROOT:
            return "the package's signing certificate does not lead to a trusted root" + code;
        case CERT_E_EXPIRED:
            return "the package's signing certificate has expired" + code;
        case TRUST_E_EXPLICIT_DISTRUST:
            return "the package's signing certificate is distrusted on this machine" + code;
        default:
            return "the package's Authenticode signature is not valid" + code;
    }
}

// The signer of the verified file; null when the state holds none.
CRYPT_PROVIDER_SGNR* Signer(HANDLE state) {
    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(state);
    return provider == nullptr ? nullptr : ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
}

// Faults of the signer's certificate chain that no valid signature has. WinVerifyTrust on
// Windows already refuses them; some implementations (wine's) report them in the chain and
// still answer success, so they are looked at here too. Time validity is not among them: a
// timestamped signature stays valid after its certificate expires.
std::string ChainFault(const CRYPT_PROVIDER_SGNR& signer) {
    if (signer.pChainContext == nullptr) return "the package's certificate chain is missing";
    const DWORD status = signer.pChainContext->TrustStatus.dwErrorStatus;
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC))
        return "the package's signing certificate does not lead to a trusted root";
    if (status & (CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_REVOKED | CERT_TRUST_IS_EXPLICIT_DISTRUST))
        return "the package's certificate chain is not valid (" + Hex32(static_cast<LONG>(status)) + ")";
    return "";
}

// The SHA-256 of the certificate that signed the file, as lower-case hexadecimal digits; ""
// when it cannot be read.
std::string SignerThumbprint(CRYPT_PROVIDER_SGNR* signer) {
    CRYPT_PROVIDER_CERT* cert = ::WTHelperGetProvCertFromChain(signer, 0);
    if (cert == nullptr || cert->pCert == nullptr || cert->pCert->pbCertEncoded == nullptr) return "";
    Hash hash(HashAlgorithm::Sha256);
    if (!hash.Update(cert->pCert->pbCertEncoded, cert->pCert->cbCertEncoded)) return "";
    return hash.FinishHex();
}

}  // namespace

AuthenticodeVerdict VerifyAuthenticode(const std::wstring& packagePath, const std::string& signerThumbprintHex) {
    const std::string expected = NormalizeSha256(signerThumbprintHex);
    if (expected.empty()) return {false, "the built-in signer is not a SHA-256 thumbprint (64 hexadecimal digits)"};
    TrustState trust(packagePath);
    const LONG status = trust.Verify();
    if (status != ERROR_SUCCESS) return {false, TrustFailure(status)};
    CRYPT_PROVIDER_SGNR* signer = Signer(trust.State());
    if (signer == nullptr) return {false, "the package's signer cannot be read"};
    const std::string fault = ChainFault(*signer);
    if (!fault.empty()) return {false, fault};
    const std::string actual = SignerThumbprint(signer);
    if (actual.empty()) return {false, "the package's signing certificate cannot be read"};
    if (actual != expected) return {false, "the package is signed by certificate " + actual + ", not the expected one"};
    return {true, ""};
}

}  // namespace Download
