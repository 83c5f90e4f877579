// qv-sign: makes the key pair of a vendor build and signs its packages.
//   qv-sign keygen KEYFILE      writes a new private key (64 hex digits, mode 0600; an existing
//                               file is never replaced) and prints the public key, the value
//                               for -DQV_PACKAGE_PUBKEY=
//   qv-sign pubkey KEYFILE      prints the public key of KEYFILE
//   qv-sign sign KEYFILE FILE   writes FILE.sig: the 64 raw bytes of an Ed25519 signature over
//                               "QVPKG-ED25519-SHA512", a zero byte and the SHA-512 of FILE;
//                               serve it beside the package ("<package URL>.sig")
//   qv-sign verify PUBHEX FILE  checks FILE.sig as the installer does; exit 0 when valid
// Exit codes: 0 done, 1 failure (message on standard error), 2 wrong usage.
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "download/PackageSignature.h"
#include "tools/sign/PackageSigner.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: qv-sign keygen KEYFILE | pubkey KEYFILE | sign KEYFILE FILE | verify PUBHEX FILE\n");
    return 2;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "qv-sign: %s\n", text.c_str());
    return 1;
}

std::optional<std::string> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

std::optional<PackageSigner> LoadKey(const std::string& path) {
    auto text = ReadAll(path);
    if (!text) return std::nullopt;
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
    return PackageSigner::FromSeedHex(*text);
}

// Creates the key file for the owner alone; refuses to replace an existing one.
bool WriteNewKey(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string line = text + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && written;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    if (command == "keygen" && argc == 3) {
        const auto signer = PackageSigner::Generate();
        if (!signer) return Fail("could not make a key pair");
        if (!WriteNewKey(argv[2], signer->SeedHex())) return Fail(std::string("cannot create ") + argv[2] + " (it must not exist)");
        std::printf("%s\n", signer->PublicKeyHex().c_str());
        return 0;
    }
    if (command == "pubkey" && argc == 3) {
        const auto signer = LoadKey(argv[2]);
        if (!signer) return Fail(std::string(argv[2]) + " holds no private key (64 hexadecimal digits)");
        std::printf("%s\n", signer->PublicKeyHex().c_str());
        return 0;
    }
    if (command == "sign" && argc == 4) {
        const auto signer = LoadKey(argv[2]);
        if (!signer) return Fail(std::string(argv[2]) + " holds no private key (64 hexadecimal digits)");
        const std::string signature = signer->SignFile(argv[3]);
        if (signature.empty()) return Fail(std::string("cannot sign ") + argv[3]);
        if (!WriteFile(std::string(argv[3]) + ".sig", signature)) return Fail(std::string("cannot write ") + argv[3] + ".sig");
        return 0;
    }
    if (command == "verify" && argc == 4) {
        const auto key = Download::ParsePackageKeyHex(argv[2]);
        if (!key) return Fail("the public key is not 64 hexadecimal digits");
        const auto signature = ReadAll(std::string(argv[3]) + ".sig");
        if (!signature) return Fail(std::string("cannot read ") + argv[3] + ".sig");
        const Download::SignatureVerdict verdict = Download::VerifyPackageSignature(*key, argv[3], *signature);
        if (!verdict.valid) return Fail(verdict.reason);
        std::printf("valid\n");
        return 0;
    }
    return Usage();
}
