#pragma once
// Thrown by the utilities (pipes, child processes) and caught by their callers; never crosses
// a library boundary.
#include <exception>
#include <string>

namespace Utils {

class Exception : public std::exception {
public:
    Exception() = default;
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

}  // namespace Utils
