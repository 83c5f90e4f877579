#pragma once
// The system services of the sample package, its uninstaller and its product: arguments,
// unbuffered output, code pages, files named in UTF-8, child processes that outlive or hang.
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace sample {

// The arguments after the program's name, in UTF-8 (Windows reads its wide command line back).
std::vector<std::string> Arguments(int argc, char** argv);

// Writes every byte to standard output or error, one system call per piece, so the installer
// reads the lines as the program produces them (no buffering). False when the stream is gone.
bool WriteOut(const std::string& bytes);
bool WriteErr(const std::string& bytes);

// UTF-8 text in the code page a status stream declared: "" or "UTF8" keeps UTF-8, "ACP" is the
// system's own (Linux: the locale's charset), a number N is code page N. Text that cannot be
// converted is sent as it is.
std::string Encode(const std::string& utf8, const std::string& codePage);

// A file-system path from UTF-8 text and back (Windows paths are wide).
std::filesystem::path PathFromUtf8(const std::string& text);
std::string PathToUtf8(const std::filesystem::path& path);
// fopen for a UTF-8 path.
FILE* OpenFile(const std::string& path, const char* mode);

// Creates `folder` and whatever parents it lacks; each folder made here is readable by everyone
// and writable by the owner alone (0755 on POSIX) whatever the creation mask this process got.
// True when the folder exists afterwards.
bool CreateFolders(const std::filesystem::path& folder);

// Writes `size` bytes as a program file (executable for everyone, writable by the owner).
bool WriteProgram(const std::filesystem::path& target, const char* data, size_t size);

// Starts a process that sleeps for `seconds` and holds this one's standard streams open after
// it ends (a package that leaves something running).
bool StartLingeringChild(const std::string& seconds);

// Starts a sleeping child that the installer has to stop with this process, writes
// "<own pid> <child pid>\n" to `pidFile` (when not empty), and never returns.
[[noreturn]] void HangWithChild(const std::string& pidFile);

// Blocks for ever: a program that has stopped talking and will not end by itself.
[[noreturn]] void WaitForever();

}  // namespace sample
