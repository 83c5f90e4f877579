#include "analytics/tracker/source/src/VnException.h"

namespace varnel::tracking {

VnException::VnException(std::string message, std::string file, std::string function, int line)
    : message_(std::move(message)), file_(std::move(file)), function_(std::move(function)), line_(line) {}

}  // namespace varnel::tracking
