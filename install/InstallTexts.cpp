#include "install/InstallTexts.h"

#include <atomic>
#include <map>

namespace InstallTexts {
namespace {

std::atomic<Lookup> g_lookup{nullptr};

const std::map<std::wstring, std::wstring>& EnUs() {
    static const std::map<std::wstring, std::wstring> table = {
        {L"IDFailInstPack", L"Install failed"},
        {L"IDInvalidPath", L"Invalid path"},
        {L"IDDiskLow", L"Available disk space less than 1GB, please modify the installation path."},
        {L"IDNetPoor", L"The current network is poor, please try again later."},
        {L"IDMsgSoftRunning", L"The software is running, please exit and try again later."},
        {L"IDProgressing", L"Installing:%d%%"},
        {L"IDMessage", L"Message"},
        {L"IDFinished", L"Installed Successfully"},
    };
    return table;
}

}  // namespace

void SetTextLookup(Lookup lookup) { g_lookup.store(lookup); }

std::wstring BuiltInText(const std::wstring& id) {
    const auto& table = EnUs();
    const auto it = table.find(id);
    return it == table.end() ? id : it->second;
}

std::wstring Text(const std::wstring& id) {
    const Lookup lookup = g_lookup.load();
    return lookup ? lookup(id) : BuiltInText(id);
}

}  // namespace InstallTexts
