#pragma once
// Windows command-line rules, used wherever a command line travels as one string (the
// package and uninstaller command lines, the installer's own options).
#include <string>
#include <vector>

namespace Utils {

// Splits a command line into arguments as CommandLineToArgvW does: the first argument (the
// program) ends at the first blank, or at the closing quote when it starts with one, with no
// backslash processing; later arguments are separated by blanks and tabs outside quotes,
// 2n backslashes before a quote give n backslashes and a quote that toggles quoting, 2n+1 give
// n backslashes and a literal quote, other backslashes are literal, and inside quotes a
// doubled quote gives a literal quote. An empty command line gives no arguments.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// The inverse for one argument: quotes it when needed so SplitCommandLine gives it back.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace Utils
