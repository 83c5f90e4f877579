#include "utils/CommandLine.h"

namespace Utils {

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    const wchar_t* s = commandLine.c_str();
    const auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    if (!*s) return args;

    // Pass 1: the program name, quoted or up to the first blank, taken literally.
    std::wstring first;
    if (*s == L'"') {
        ++s;
        while (*s && *s != L'"') first += *s++;
        if (*s == L'"') ++s;
    } else {
        while (*s && !isBlank(*s)) first += *s++;
    }
    args.push_back(first);
    while (isBlank(*s)) ++s;

    // Pass 2: the remaining arguments. `quotes` counts quote characters of the current run
    // the way the system parser does: odd means inside quotes; a third consecutive quote in
    // a run emits a literal quote.
    std::wstring current;
    bool started = false;
    int quotes = 0;
    size_t backslashes = 0;
    while (*s) {
        if (isBlank(*s) && quotes == 0) {
            args.push_back(current);
            current.clear();
            started = false;
            backslashes = 0;
            while (isBlank(*s)) ++s;
            continue;
        }
        started = true;
        if (*s == L'\\') {
            current += *s++;
            ++backslashes;
        } else if (*s == L'"') {
            if (backslashes % 2 == 0) {
                current.erase(current.size() - backslashes / 2);
                ++quotes;
            } else {
                current.erase(current.size() - backslashes / 2 - 1);
                current += L'"';
            }
            ++s;
            backslashes = 0;
            while (*s == L'"') {
                if (++quotes == 3) {
                    current += L'"';
                    quotes = 0;
                }
                ++s;
            }
            if (quotes == 2) quotes = 0;
        } else {
            current += *s++;
            backslashes = 0;
        }
    }
    if (started) args.push_back(current);
    return args;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

}  // namespace Utils
