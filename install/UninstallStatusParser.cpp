#include "install/UninstallStatusParser.h"

#include "install/InstallCodes.h"
#include "install/PackageStatusParser.h"
#include "install/StatusValues.h"

int UninstallStatusParser::ParseRawLine(std::string_view bytes, const DownloadCallback& raise) {
    const std::wstring line = StatusValues::Decode(bytes, codePage_);
    if (line.empty()) return kNoFinalState;
    return ParseLine(line, raise);
}

int UninstallStatusParser::ParseLine(std::wstring_view line, const DownloadCallback& raise) {
    constexpr size_t kMax = PackageStatusParser::kMaxValueChars;
    std::wstring rest;
    if (StatusValues::TakeKey(line, L"Progress=", kMax, false, rest)) {
        raise(UNIST_CODE_PROGRESS, StatusValues::ReadNumber(rest), L"");
    } else if (StatusValues::TakeKey(line, L"Error=", kMax, false, rest)) {
        raise(UNIST_CODE_ERROR, 0, rest.c_str());
        return kFinalFailure;
    } else if (StatusValues::TakeKey(line, L"State=", kMax, true, rest)) {
        if (rest == L"Success") {
            raise(UNIST_CODE_SUCCESS, 0, L"");
            return kFinalSuccess;
        }
        if (rest == L"Fail") {
            raise(UNIST_CODE_ERROR, 0, kUninstallFailedText);
            return kFinalFailure;
        }
    } else if (StatusValues::TakeKey(line, L"Encode=", kMax, true, rest)) {
        codePage_ = rest == L"UTF8" ? 65001 : 0;
    }
    return kNoFinalState;
}
