#pragma once
// The system's side of StatusChildRun, one definition per system (StatusChildRun_posix.cpp,
// StatusChildRun_win32.cpp); StatusChildRun.cpp holds the run loop and the texts, which are the
// same everywhere. Internal to the install library.
#include <memory>
#include <string>

#include "install/StatusChildRun.h"

namespace Utils {
class PipedProcess;
}

namespace StatusChildRunSystem {

// Opens `program` without following a link, checks it through that handle and starts it with
// `commandLine` in a group of its own that ends with this thread's owner unless let go. The
// file checked is the file that runs. Returns "" with `process` running, or why it did not
// start (`process` is then empty).
std::string Start(const std::wstring& program, const std::wstring& commandLine,
                  std::unique_ptr<Utils::PipedProcess>& process);

// Publishes the group of the child that runs now for CurrentGroup and StopCurrent; nullptr
// withdraws it, which must happen before the process goes.
void Publish(Utils::PipedProcess* process);

// What ended a child beyond its plain exit status (a signal; an exception code), as the whole
// text DescribeEnd gives; "" when the exit status says it all.
std::wstring DescribeAbnormalEnd(const StatusChildRun::Result& result);

// How the log names what happens to a silent child's group ("its group is stopped").
extern const wchar_t* const kIdleStopNote;

}  // namespace StatusChildRunSystem
