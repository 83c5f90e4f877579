#pragma once
// Chooses, once at start-up, where the installer's diagnostic trace goes (Utils::SetLogDestination).
//
// By default a log file in the state folder (Utils::LogFile::DefaultPath), a fresh one per run
// with the last three runs kept; "-log=FILE" names another file, appended to. Standard error
// gets the trace only when asked ("-verbose", or QV_TRACE=stderr in the environment), so that an
// unattended install in a terminal shows only its progress and its errors. A named file that
// cannot be used (a link, another user's file, ...) is reported on standard error and the
// default log is used instead; when no file can be opened at all the trace goes to the system's
// channel as before, never nowhere.
#include <string>
#include <vector>

class TraceStart {
public:
    enum class Run {
        kFresh,       // an installer run: the default log turns over
        kContinuing,  // the crash reporter: it appends to the crashed run's log
    };

    // Opens the destination; call on the main thread before any other thread starts.
    static void Open(const std::vector<std::wstring>& arguments, Run run);
};
