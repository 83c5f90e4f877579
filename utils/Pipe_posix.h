#pragma once
// The POSIX side of Utils::Pipe: its two descriptors (-1 once closed). For the process starter
// and poll loops; the pipe keeps ownership.
#include "utils/Pipe.h"

namespace Utils {

struct Pipe::Ends {
    int read = -1;
    int write = -1;
};

}  // namespace Utils
