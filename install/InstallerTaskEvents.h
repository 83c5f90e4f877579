#pragma once
// The names of the installer's analytics task events and the texts built for them. Both front
// ends raise them through InstallSession, so the window and the unattended mode report the
// same events in the same order.
#include <cstdint>
#include <string>

namespace InstallerTaskEvents {

inline constexpr wchar_t kDownloadStart[] = L"开始下载大包";
inline constexpr wchar_t kDownloadDurationPrefix[] = L"大包下载完毕用时";
inline constexpr wchar_t kDownloadFinished[] = L"大包下载完毕";
inline constexpr wchar_t kInstallSucceeded[] = L"安装成功";

// A formatted reason fills at most this many characters (a buffer of 200 with its zero).
inline constexpr size_t kReasonMaxChars = 199;

// "%d时%d分%d秒" with hours, else "%d分%d秒", from a duration in milliseconds.
std::wstring DurationText(uint32_t milliseconds);
// "大包下载完毕用时" followed by the duration text.
std::wstring DownloadDurationTask(uint32_t milliseconds);

// "1.code=%ld；2.msg=%s；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%s；5.服务器连接状态code=%d":
// the download's failure code and message, the GiB available for the package, "可读" when
// the package path is writable or "无权限", and the network probe's whole result.
std::wstring DownloadFailureReason(double code, const std::wstring& message, double freeGiB, bool writable,
                                   uint32_t network);
// "安装失败原因:1.code=%ld；2.msg=%s".
std::wstring InstallFailureReason(double code, const std::wstring& message);

// `text` cut to `maxChars` code units, never inside a character: in UTF-16 (char16_t, or
// wchar_t where it has two bytes) a surrogate pair stays whole.
template <class Char>
std::basic_string<Char> ShortenOnCharacter(const std::basic_string<Char>& text, size_t maxChars = kReasonMaxChars) {
    if (text.size() <= maxChars) return text;
    size_t cut = maxChars;
    if constexpr (sizeof(Char) == 2) {
        const auto last = cut > 0 ? static_cast<uint32_t>(text[cut - 1]) : 0u;
        if (last >= 0xD800 && last <= 0xDBFF) --cut;
    }
    return text.substr(0, cut);
}

}  // namespace InstallerTaskEvents
