#pragma once
// The Windows side of Utils::PipedProcess: the child's process and primary thread handles and
// the job that holds it with everything it starts (empty without SpawnOptions::ownProcessGroup
// or stopWithStarter). For wait loops that wait on the child together with its pipes: they
// borrow the handles through Native(); the process object keeps ownership.
#include "utils/PipedProcess.h"
#include "utils/UniqueHandle_win32.h"

namespace Utils {

struct PipedProcess::Handles {
    UniqueHandle process;
    UniqueHandle thread;
    UniqueHandle job;
};

}  // namespace Utils
