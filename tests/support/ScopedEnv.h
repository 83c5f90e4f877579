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
        Set(name_, value.c_str());
    }
    ~ScopedEnv() { Set(name_, saved_ ? saved_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Sets (value) or removes (nullptr) a variable of this process's environment.
    static void Set(const std::string& name, const char* value) {
#ifdef _WIN32
        _putenv_s(name.c_str(), value ? value : "");
#else
        if (value) setenv(name.c_str(), value, 1);
        else unsetenv(name.c_str());
#endif
    }

private:
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace testsupport
