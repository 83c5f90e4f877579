#pragma once
// The installer's main window: four pages (default, custom, progress, finish) in "mainTabLt",
// the title row, the folder choice, the language list, the exit confirmation, and the install
// flow over the orchestrator with its progress, failure dialogs, finish and product launch.
//
// Close rules: the close button asks on pages 0 to 2 (only the finish page closes at once);
// close commands (Alt+F4, the window manager's close, close requests) do nothing while the
// progress page is shown and close at once elsewhere. Escape does nothing.
//
// Thread: the user-interface thread. The orchestrator's callback runs on its workers and only
// posts WM_INSTALLER_EVENT records; the network check thread only posts "checknet".
#include <cstdint>
#include <memory>
#include <string>

#include "install/InstallFolders.h"
#include "install/InstalledCopy.h"
#include "ui/windows/CSkinFrame.h"

class InstallSession;
namespace Toolkit {
class CComboUI;
class CEditUI;
class CCheckBoxUI;
class CProgressUI;
class CTabLayoutUI;
}  // namespace Toolkit
namespace Utils {
class Thread;
}

// One orchestrator event, carried from its worker thread to the window.
struct UiEventRecord {
    int32_t code;
    double value;
    std::wstring text;
};

inline constexpr std::uint32_t WM_INSTALLER_EVENT = Toolkit::WM_USER + 1000;

class CMainWnd : public CSkinFrame {
public:
    CMainWnd();
    ~CMainWnd() override;

    // Creates the window ("Quorvex", no owner), centres it and runs it until it closes.
    // Returns false when the window could not be created.
    bool Run(const std::wstring& title);

    // ---- toolkit hooks ----
    void InitWindow() override;
    std::intptr_t HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::intptr_t HandleCustomMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                      bool& handled) override;
    void Notify(Toolkit::TNotifyUI& msg) override;
    void OnClick(Toolkit::TNotifyUI& msg) override;
    std::unique_ptr<Toolkit::CControlUI> CreateControl(const std::wstring& name) override;

    // ---- folders ----
    std::wstring DefaultInstallFolder();
    std::wstring CustomInstallFolder();

    // ---- install flow ----
    bool StartInstall(const std::wstring& folder, bool desktopIcon, bool taskbarPin);
    // Handles one record and deletes it.
    void OnInstallerEvent(UiEventRecord* record);
    void FinishInstall();
    void RunProduct();

    int CurrentPage() const;
    // Fits the listed labels' widths to their texts (start and every language switch).
    void FitTextWidths();

private:
    struct Controls;
    class PostToken;

    // Timers on the root control (ids shared by the page code and the install flow's code).
    static constexpr std::uintptr_t kTopShowTimer = 10;
    static constexpr std::uintptr_t kFinishCloseTimer = 11;

    void FindControls();
    void ReadPreviousInstallation();
    void OfferExistingInstallation();
    void OnTabSelect();
    void OnLanguageSelect(int index);
    void OnCloseButton();
    void ChooseFolder();
    void ShowPage(int page);
    void RequestClose();
    void StartAnimation(Toolkit::CControlUI* control);
    void StopAnimation(Toolkit::CControlUI* control);

    int Notice(const wchar_t* layout, const std::wstring& captionId, const std::wstring& text);
    void SetInstallButtonsEnabled(bool enabled);
    void OnCheckNet(std::intptr_t result);
    void OnInstall(std::intptr_t go);
    void ShowProgress(int percent);
    // Feeds one event (or, with null, the refresh timer's tick) to the download's speed and
    // shows its line under the bar; the line is empty while no steady speed is known.
    void ShowDownloadRate(const UiEventRecord* record);
    void OnDownloadFailed(const UiEventRecord& record);
    void OnInstallFailed(const UiEventRecord& record);
    void OnInstallSucceeded();
    void OnUninstallFailed();
    bool RetryInstall();

    std::unique_ptr<Controls> c_;
    std::wstring ProductExePath;
    std::wstring UninstallerPath;
    std::wstring InstallPath;
    PreviousInstallation previous_;  // PrevInstallPath / PrevUninstallerPath
    std::wstring StartUrl;
    std::wstring LanguageCode = L"en-US";
    int StartupStyle = 0;
    std::uint32_t TopShowDelayMs = 3000;
    std::uint32_t FinishCloseDelayMs = 4294967295u;
    // The install session owns the orchestrator; it measures the download and smooths the
    // progress for the window.
    std::unique_ptr<InstallSession> session_;
    std::unique_ptr<Utils::Thread> netCheckThread_;
    int SavedPage = 0;
    bool HasPreviousInstall = false;
    AdminState admin_{true, true};
    bool closeRequested_ = false;
    std::shared_ptr<PostToken> postToken_;
};
