#include "install/PackageStatusParser.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwchar>

#include "install/InstallCodes.h"
#include "install/InstallTexts.h"
#include "install/StatusValues.h"

namespace {

enum class Key {
    Progress, InstPath, State, InstallVersion, ExePath, StartExe, UninstExePath, UninstExe,
    UninstEp, Error, TopShow, FinishClose, StartUrl, StartupStyle, Encode, Message,
};

struct KeyRule {
    const wchar_t* text;
    Key key;
    bool trimmed;
};

// In matching order: the first key a line starts with wins.
constexpr KeyRule kKeys[] = {
    {L"Progress=", Key::Progress, false},
    {L"InstPath=", Key::InstPath, false},
    {L"State=", Key::State, true},
    {L"InstallVersion=", Key::InstallVersion, false},
    {L"ExePath=", Key::ExePath, false},
    {L"StartExe=", Key::StartExe, false},
    {L"UninstExePath=", Key::UninstExePath, false},
    {L"UninstExe=", Key::UninstExe, false},
    {L"UninstEp=", Key::UninstEp, false},
    {L"Error=", Key::Error, false},
    {L"TopShowDetention=", Key::TopShow, false},
    {L"FinsihCloseDetention=", Key::FinishClose, false},
    {L"StartUrl=", Key::StartUrl, false},
    {L"StartupStyle=", Key::StartupStyle, true},
    {L"Encode=", Key::Encode, true},
    {L"Message=", Key::Message, false},
};

int StartupStyleOf(const std::wstring& word) {
    if (word == L"AutoStartup") return kAutoStartup;
    if (word == L"UserStartup") return kUserStartup;
    return kNonStartup;  // "NonStartup" and every unknown word
}

// "a.b.c" as "%d.%d.%d" reads it; the fields read before a mismatch are kept.
void ReadVersion(const std::wstring& text, std::array<int, 3>& version) {
    const wchar_t* p = text.c_str();
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (*p != L'.') return;
            ++p;
        }
        wchar_t* end = nullptr;
        const long v = std::wcstol(p, &end, 10);
        if (end == p) return;
        version[i] = static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
        p = end;
    }
}

}  // namespace

int PackageStatusParser::ParseRawLine(std::string_view bytes, const DownloadCallback& raise) {
    const std::wstring line = StatusValues::Decode(bytes, codePage_);
    if (line.empty()) return kNoFinalState;
    return ParseLine(line, raise);
}

int PackageStatusParser::ParseLine(std::wstring_view line, const DownloadCallback& raise) {
    for (const KeyRule& rule : kKeys) {
        std::wstring rest;
        if (!StatusValues::TakeKey(line, rule.text, kMaxValueChars, rule.trimmed, rest)) continue;
        switch (rule.key) {
            case Key::Progress:
                raise(IST_CODE_PROGRESS, StatusValues::ReadNumber(rest), L"");
                return kNoFinalState;
            case Key::InstPath:
                raise(PKG_CODE_INST_PATH, 0, rest.c_str());
                return kNoFinalState;
            case Key::State:
                if (rest == L"Success") {
                    raise(INSTALL_SUCCESS, 0, L"");
                    return kFinalSuccess;
                }
                if (rest == L"Fail") {
                    const std::wstring text = InstallTexts::Text(L"IDFailInstPack");
                    raise(IST_CODE_FAIL, 0, text.c_str());
                    return kFinalFailure;
                }
                return kNoFinalState;
            case Key::InstallVersion:
                ReadVersion(rest, version_);
                return kNoFinalState;
            case Key::ExePath:
            case Key::StartExe:
                raise(PKG_CODE_EXE_PATH, 0, rest.c_str());
                return kNoFinalState;
            case Key::UninstExePath:
            case Key::UninstExe:
                raise(PKG_CODE_UNINST_EXE, 0, rest.c_str());
                return kNoFinalState;
            case Key::UninstEp:
                raise(PKG_CODE_UNINST_EP, 0, rest.c_str());
                return kNoFinalState;
            case Key::Error:
                raise(IST_CODE_FAIL, kFailPackageError, rest.c_str());
                return kFinalFailure;
            case Key::TopShow:
                raise(PKG_CODE_TOP_SHOW, static_cast<uint32_t>(StatusValues::ReadInt(rest)), L"");
                return kNoFinalState;
            case Key::FinishClose:
                raise(PKG_CODE_FINISH_CLOSE, static_cast<uint32_t>(StatusValues::ReadInt(rest)), L"");
                return kNoFinalState;
            case Key::StartUrl:
                raise(PKG_CODE_START_URL, 0, rest.c_str());
                return kNoFinalState;
            case Key::StartupStyle:
                raise(PKG_CODE_STARTUP_STYLE, StartupStyleOf(rest), L"");
                return kNoFinalState;
            case Key::Encode:
                if (rest == L"UTF8") codePage_ = 65001;
                else if (rest == L"ACP") codePage_ = 0;
                else codePage_ = static_cast<unsigned>(StatusValues::ReadInt(rest));
                return kNoFinalState;
            case Key::Message:
                raise(PKG_CODE_MESSAGE, 0, rest.c_str());
                return kNoFinalState;
        }
    }
    return kNoFinalState;
}
