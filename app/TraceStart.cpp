#include "app/TraceStart.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "config/CommandLineArgs.h"
#include "utils/Folders.h"
#include "utils/Log.h"
#include "utils/LogFile.h"
#include "utils/PathText.h"
#include "utils/StringUtils.h"

void TraceStart::Open(const std::vector<std::wstring>& arguments, Run run) {
    const CommandLineArgs args(arguments);
    const char* trace = std::getenv("QV_TRACE");
    const bool toStandardError = args.Has(L"-verbose") || (trace && std::strcmp(trace, "stderr") == 0);

    std::unique_ptr<Utils::LogFile> file;
    if (args.Has(L"-log")) {
        const std::wstring named = args.GetString(L"-log");
        Utils::FileError error;
        if (!named.empty()) file = Utils::LogFile::OpenAppending(Utils::PathFromWide(named), &error);
        if (!file)
            std::fprintf(stderr, "quorvex-installer: cannot write the log \"%s\" (error %d); using the default log\n",
                         Utils::ToUtf8(named).c_str(), error.code);
    }
    if (!file) {
        const auto path = Utils::LogFile::DefaultPath();
        if (run == Run::kFresh) {
            file = Utils::LogFile::OpenRotated(path);
        } else if (Utils::CreateFolders(path.parent_path(), 0700)) {
            file = Utils::LogFile::OpenAppending(path);
        }
    }
    Utils::SetLogDestination(std::move(file), toStandardError);
}
