#pragma once
// What a person who asks the installer about itself gets: "--help", "-h" or "-?" print the
// usage, "--version" the product's and the installer's versions, on standard output. They are
// recognised before anything else starts (no lock, no analytics, no window), anywhere among the
// arguments; every other unknown option is ignored as before.
#include <filesystem>
#include <string>
#include <vector>

class CommandLineHelp {
public:
    enum class Request { kNone, kUsage, kVersion };

    // The first help or version option among `arguments` (the program path first, skipped).
    static Request Find(const std::vector<std::wstring>& arguments);

    // The usage: the options, the exit codes in short, and where the trace is written
    // (`logPath`). UTF-8, lines ending in "\n".
    static std::string Usage(const std::filesystem::path& logPath);
    // "Quorvex <product version> (installer <installer version>)\n".
    static std::string Version();
};
