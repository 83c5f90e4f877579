#pragma once
// The POSIX side of Utils::Pipe: its two descriptors, each held by a FileHandle (closed once
// IsOpen() is false). For the process starter and poll loops: they borrow the descriptors through
// Native(); the pipe keeps ownership.
#include "utils/FileHandle.h"
#include "utils/Pipe.h"

namespace Utils {

struct Pipe::Ends {
    FileHandle read;
    FileHandle write;
};

}  // namespace Utils
