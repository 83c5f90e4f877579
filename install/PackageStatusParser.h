#pragma once
// The package's status-line protocol. Each line the package prints on its standard output
// starts with a key (exact, case-sensitive); the rest of the line is the value, cut to
// kMaxValueChars characters. Lines with no known key are ignored.
//
//   Progress=<number>        2002 with the number (0 when unreadable or not finite)
//   InstPath= ExePath= StartExe= UninstExePath= UninstExe= UninstEp= StartUrl= Message=
//                            3000 / 3001 / 3001 / 3002 / 3002 / 3003 / 3004 / 3009 with the text
//   State=Success | Fail     (trimmed) final: 2003 (0) or 2004 (0, "IDFailInstPack" text)
//   Error=<text>             final: 2004 (1000, text)
//   InstallVersion=a.b.c     kept, no event
//   TopShowDetention=<int>   3007, FinsihCloseDetention=<int> 3008 (value as unsigned 32-bit)
//   StartupStyle=<word>      (trimmed) 3005 with NonStartup 0, AutoStartup 1, UserStartup 2, else 0
//   Encode=<cp>              (trimmed) UTF8 -> 65001, ACP -> 0, else the decimal number (0 if none)
//
// Owned by the package runner and used only on its worker thread; the code page it holds
// survives from one run to the next.
#include <array>
#include <string>
#include <string_view>

#include "download/DownloadCallback.h"

class PackageStatusParser {
public:
    static constexpr size_t kMaxValueChars = 771;
    enum Result : int { kNoFinalState = 0, kFinalSuccess = 1, kFinalFailure = 1000 };

    // Decodes one raw line with the current code page and parses it; an undecodable line
    // is ignored. Returns the line's final state, or kNoFinalState.
    int ParseRawLine(std::string_view bytes, const DownloadCallback& raise);
    // Parses one decoded line.
    int ParseLine(std::wstring_view line, const DownloadCallback& raise);

    unsigned CodePage() const { return codePage_; }
    const std::array<int, 3>& InstalledVersion() const { return version_; }

private:
    unsigned codePage_ = 0;
    std::array<int, 3> version_{0, 0, 0};
};
