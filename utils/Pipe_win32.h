#pragma once
// The Windows side of Utils::Pipe: its two ends, each held by a FileHandle (closed once IsOpen()
// is false). The end this process keeps is opened for overlapped I/O, so that a wait loop can
// wait on it with the child's process handle and cancel a read that will never complete; the
// child's end is synchronous, as programs expect of their standard handles. For the process
// starter and wait loops: they borrow the handles through Native(); the pipe keeps ownership.
#include "utils/FileHandle.h"
#include "utils/Pipe.h"

namespace Utils {

struct Pipe::Ends {
    FileHandle read;
    FileHandle write;
    bool readOverlapped = false;
    bool writeOverlapped = false;
};

}  // namespace Utils
