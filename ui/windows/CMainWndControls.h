#pragma once
// The main window's private parts: its control references, the token that carries
// orchestrator events to it, and the controls and language hooks the skin brings.
//
// Thread: the user-interface thread, except PostToken::Post.
#include <cstdint>
#include <memory>
#include <string>

#include "install/DownloadRate.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Scheduler.h"
#include "ui/windows/CMainWnd.h"

// Notifications the window sends itself (sender: the root control).
inline constexpr wchar_t kCheckNet[] = L"checknet";
inline constexpr wchar_t kInstall[] = L"install";
inline constexpr wchar_t kOfferExisting[] = L"offerexisting";

// The root's timer that refreshes the download's speed while the package downloads.
inline constexpr std::uintptr_t kDownloadRateTimer = 12;
inline constexpr unsigned kDownloadRatePeriodMs = 500;

struct CMainWnd::Controls {
    Toolkit::CControlUI* winCtn = nullptr;
    Toolkit::CTabLayoutUI* titleTabLt = nullptr;
    Toolkit::CTabLayoutUI* mainTabLt = nullptr;
    Toolkit::CComboUI* langCombo = nullptr;
    Toolkit::CControlUI* defaultInstallBtn = nullptr;
    Toolkit::CControlUI* customeBtn = nullptr;
    Toolkit::CControlUI* backBtn = nullptr;
    Toolkit::CControlUI* chDirBtn = nullptr;
    Toolkit::CEditUI* installDirEdit = nullptr;
    Toolkit::CCheckBoxUI* createDSCb = nullptr;
    Toolkit::CCheckBoxUI* createQSCb = nullptr;
    Toolkit::CControlUI* customeInstallBtn = nullptr;
    Toolkit::CControlUI* titleGrpCtn = nullptr;
    Toolkit::CControlUI* progressAnLb = nullptr;
    Toolkit::CControlUI* finishedLbl = nullptr;
    Toolkit::CControlUI* progressLb = nullptr;
    Toolkit::CProgressUI* installPrg = nullptr;
    Toolkit::CControlUI* speedLb = nullptr;  // speed and time left under the bar
    DownloadRate downloadRate;
    Toolkit::CControlUI* openProduceBtn = nullptr;
    std::wstring progressLbInitial;

    // The installer's own elements ("SequenceLabel", "SequenceButton"), or null.
    static std::unique_ptr<Toolkit::CControlUI> CreateInstallerControl(const std::wstring& name);
    // The language list: "en-US" and "zh-TW", in that order.
    static void FillLanguageList(Toolkit::CComboUI* combo);
    static void SelectLanguage(Toolkit::CComboUI* combo, int index);
    // Switches the texts to the language of item `index`; `languageCode` follows for en-US
    // and zh-TW.
    static void ApplyLanguage(Toolkit::CComboUI* combo, int index, std::wstring& languageCode);
    static void FitTextWidths(Toolkit::CPaintManagerUI& manager);
    static void StartAnimation(Toolkit::CControlUI* control);
};

// Carries orchestrator events from its worker threads to the window. Workers only copy the
// shared pointer and post; the window pointer is read and cleared on the user-interface thread,
// so a record posted after the window has gone is simply freed.
class CMainWnd::PostToken : public std::enable_shared_from_this<CMainWnd::PostToken> {
public:
    explicit PostToken(CMainWnd* window) : window_(window) {}
    void SetScheduler(Toolkit::IScheduler* scheduler) { scheduler_ = scheduler; }
    void Clear() { window_ = nullptr; }
    // Any thread: hands the record over as WM_INSTALLER_EVENT; takes ownership.
    void Post(UiEventRecord* record);

private:
    CMainWnd* window_;
    Toolkit::IScheduler* scheduler_ = nullptr;
};
