#pragma once
// The one exception of the tracker library. It never leaves the library: UsageTrackerWrapper
// catches it (and everything else) around every tracking call. It names where it was raised so a
// caught failure can still be told apart in a debugger or a test.
#include <exception>
#include <string>

namespace varnel::tracking {

class VnException : public std::exception {
public:
    // `file` is the raising source ("UsageTrackerImpl", "VnContextProperties",
    // "NativeUserTracker"); `function` the operation ("trackClick", "toString", "init").
    VnException(std::string message, std::string file, std::string function, int line);

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const { return message_; }
    const std::string& file() const { return file_; }
    const std::string& function() const { return function_; }
    int line() const { return line_; }

private:
    std::string message_;
    std::string file_;
    std::string function_;
    int line_;
};

}  // namespace varnel::tracking
