#pragma once
// The proxy variables of this process's environment for one test: all of them empty (which
// every request type reads as unset) until the test sets some, and all restored at the end.
// Like ScopedEnv, only for tests that set them before the code under test starts its threads.
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ScopedEnv.h"

namespace testsupport {

class ProxyVariables {
public:
    ProxyVariables() {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                 "no_proxy", "NO_PROXY"})
            saved_.push_back(std::make_unique<ScopedEnv>(name, ""));
    }
    // Sets one of them (or any other variable) until the end of the test.
    void Set(const std::string& name, const std::string& value) {
        saved_.push_back(std::make_unique<ScopedEnv>(name, value));
    }

    ~ProxyVariables() {
        while (!saved_.empty()) saved_.pop_back();  // last set first, so the first value returns
    }
    ProxyVariables(const ProxyVariables&) = delete;
    ProxyVariables& operator=(const ProxyVariables&) = delete;

private:
    std::vector<std::unique_ptr<ScopedEnv>> saved_;
};

}  // namespace testsupport
