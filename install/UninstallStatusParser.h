#pragma once
// The uninstaller's status-line protocol: the package's line rules with four keys.
//
//   Progress=<number>   5002 with the number (0 when unreadable or not finite)
//   Error=<text>        final: 5005 (0, text)
//   State=Success|Fail  (trimmed) final: 5003 (0) or 5005 (0, "安装包卸载失败"); other words ignored
//   Encode=<cp>         (trimmed) UTF8 -> 65001, anything else -> the locale's charset (0)
//
// Owned by one uninstall runner and used only on its worker thread.
#include <string>
#include <string_view>

#include "download/DownloadCallback.h"

class UninstallStatusParser {
public:
    enum Result : int { kNoFinalState = 0, kFinalSuccess = 1, kFinalFailure = 1000 };

    int ParseRawLine(std::string_view bytes, const DownloadCallback& raise);
    int ParseLine(std::wstring_view line, const DownloadCallback& raise);

    unsigned CodePage() const { return codePage_; }

private:
    unsigned codePage_ = 0;
};
