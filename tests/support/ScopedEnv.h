#pragma once
// Sets an environment variable for the length of a scope and restores it afterwards. Only for
// tests that run before any worker thread exists (setenv is not thread-safe).
#include <cstdlib>
#include <optional>
#include <string>

namespace testsupport {

class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) saved_ = old;
        setenv(name_.c_str(), value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (saved_) setenv(name_.c_str(), saved_->c_str(), 1);
        else unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace testsupport
