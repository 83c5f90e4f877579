#pragma once
// MD5 for the package server's digest paths, from the system's own crypto library (not the
// installer's hashing code), so a fault in the installer's digest cannot hide itself in tests
// that compare against the server's.
//
// Threads: one object per thread at a time.
#include <cstddef>
#include <memory>
#include <string>

namespace PackageServer {

class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    // False once any step has failed; the object is then spent.
    bool Update(const void* data, std::size_t size);
    // 32 lower-case hexadecimal digits; "" when a step failed. Call once.
    std::string FinishHex();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace PackageServer
