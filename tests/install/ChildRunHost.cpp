// Stands in for the installer in the child-run tests: runs one status child to its end as the
// runners do and reports how it ended, so that a test can kill this process outright while the
// child runs, or watch the child outlive it.
//   qv_child_run_host PROGRAM ARG...   (the child's command line is PROGRAM ARG..., quoted)
#include <cstdio>
#include <string>

#include "install/StatusChildRun.h"
#include "utils/CommandLine.h"
#include "utils/StringUtils.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::wstring program = Utils::FromUtf8(argv[1]);
    std::wstring line = Utils::QuoteArgument(program);
    for (int i = 2; i < argc; ++i) line += L" " + Utils::QuoteArgument(Utils::FromUtf8(argv[i]));
    StatusChildRun run;
    const StatusChildRun::Result result =
        run.Run(program, line, [](std::string_view text) { return text.rfind("State=", 0) == 0 ? 1 : 0; });
    std::printf("end=%d status=%d final=%d\n", static_cast<int>(result.end), result.exitStatus, result.finalState);
    return 0;
}
