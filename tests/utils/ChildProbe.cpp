// A child program for the process tests. Modes:
//   fds          print the descriptors open in this process, one per line
//   holds V      print the file that descriptor or handle V names here (an empty line for none)
//   rawline      print the command line as the system gave it (where it keeps one)
//   echo         copy standard input to standard output
//   args ...     print each argument between brackets
//   exit N       exit with status N
//   stderr T     write T to standard error
//   script S...  run steps in order, each flushed at once:
//                  line:TEXT   TEXT and a line feed on standard output
//                  err:TEXT    TEXT and a line feed on standard error
//                  sleep:MS    pause
//                  spawn       start "script sleep:600000" as a child of this probe
//                  pids:FILE   write this probe's id and the spawned child's id to FILE
//                  exit:N      exit with status N at once
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/utils/ChildProbePlatform.h"

namespace {

int RunScript(int argc, char** argv) {
    long long spawned = -1;
    for (int i = 2; i < argc; ++i) {
        const std::string step = argv[i];
        const size_t colon = step.find(':');
        const std::string verb = step.substr(0, colon);
        const std::string rest = colon == std::string::npos ? std::string() : step.substr(colon + 1);
        if (verb == "line") {
            std::printf("%s\n", rest.c_str());
            std::fflush(stdout);
        } else if (verb == "err") {
            std::fprintf(stderr, "%s\n", rest.c_str());
            std::fflush(stderr);
        } else if (verb == "sleep") {
            probe::SleepMs(std::atol(rest.c_str()));
        } else if (verb == "spawn") {
            spawned = probe::StartSelf({"script", "sleep:600000"});
            if (spawned < 0) return 4;
        } else if (verb == "pids") {
            std::ofstream(rest) << probe::OwnProcessId() << " " << spawned << "\n";
        } else if (verb == "exit") {
            return std::atoi(rest.c_str());
        } else {
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    probe::UseBinaryStdio();
    const std::string mode = argv[1];
    if (mode == "fds") {
        if (!probe::PrintOpenDescriptors()) return 3;
    } else if (mode == "holds" && argc > 2) {
        std::printf("%s\n", probe::HeldFile(argv[2]).c_str());
    } else if (mode == "rawline") {
        std::printf("%s\n", probe::OwnCommandLine().c_str());
    } else if (mode == "echo") {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) std::fwrite(buf, 1, n, stdout);
    } else if (mode == "args") {
        for (int i = 2; i < argc; ++i) std::printf("[%s]", argv[i]);
        std::printf("\n");
    } else if (mode == "exit" && argc > 2) {
        return std::atoi(argv[2]);
    } else if (mode == "stderr" && argc > 2) {
        std::fputs(argv[2], stderr);
    } else if (mode == "script") {
        return RunScript(argc, argv);
    } else {
        return 2;
    }
    return 0;
}
