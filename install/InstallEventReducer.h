#pragma once
// Turns the (code, value, text) events of one install into what a front end shows and keeps:
// the whole-bar percent, the product's paths, start style and delays the package reported, the
// analytics task names to raise, and the outcome. It has no side effects of its own: the
// session (InstallSession::OnEvent) performs the records and analytics, the front end shows
// the rest. Both front ends feed every event through one reducer, so they cannot disagree.
//
// Percent: a download fraction fills the first `downloadScale` of the bar; install progress
// is clamped to 0..1, then smoothed (each report advances the install share by at least 15 %
// until 95 % of it, a larger fraction takes over at once) and never moves the bar backwards.
//
// Threads: owned and fed by the front end's thread (the window's, or the unattended mode's
// main thread); not shared.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install/InstallProgress.h"

// How an install attempt ended (or that it has not yet).
enum class InstallOutcome {
    kRunning,
    kSucceeded,        // 2003
    kDownloadFailed,   // 1004
    kInstallFailed,    // 2004
    kUninstallFailed,  // 5004 / 5005 from the previous copy's uninstaller
    kTempUnusable,     // 5004 (3): the private temporary folder could not take the uninstaller
};

// What one event asks of the front end and the session.
struct InstallReaction {
    std::optional<int> percent;          // the bar moved (1002, 2002, 2003)
    bool writeRecords = false;           // 2001: write "set.ini" and the product data file
    bool finishInstall = false;          // 2003: registry values, then the records again
    std::optional<std::wstring> notice;  // 3009: the package's message to show
    // Analytics task names to raise in this order (the download failure's reason text is
    // built by the session, which probes the machine: `downloadFailed` asks for it).
    std::vector<std::wstring> tasks;
    bool downloadFailed = false;
    bool ended = false;  // the outcome is final
};

// What the package reported about the installed product.
struct ProductReport {
    std::wstring installPath;     // 3000; the install folder until the package says otherwise
    std::wstring exePath;         // 3001
    std::wstring uninstallerPath; // 3003
    std::wstring startUrl;        // 3004
    int startupStyle = 0;         // 3005: 0 NonStartup, 1 AutoStartup, 2 UserStartup
    uint32_t topShowDelayMs = 0;  // 3007
    uint32_t finishCloseDelayMs = 0;  // 3008
};

class InstallEventReducer {
public:
    InstallEventReducer(double downloadScale, std::wstring installFolder);

    // A new attempt (a retry after a failure): outcome, reports and the bar's floor start
    // afresh; the install smoothing goes on from where it was, as the window's does.
    void Restart(std::wstring installFolder);

    // One event; `nowMs` is a monotonic millisecond tick (the download's duration is
    // measured between 1001 and 1003 with it, in unsigned 32-bit arithmetic).
    InstallReaction Apply(int32_t code, double value, const std::wstring& text, uint32_t nowMs);

    InstallOutcome Outcome() const { return outcome_; }
    // The final event's value and text (1004, 2004, 5004, 5005).
    double FailureValue() const { return failureValue_; }
    const std::wstring& FailureText() const { return failureText_; }
    const ProductReport& Product() const { return product_; }
    int Percent() const { return percent_; }
    bool DownloadStarted() const { return downloadStarted_; }

private:
    InstallProgress progress_;
    ProductReport product_;
    InstallOutcome outcome_ = InstallOutcome::kRunning;
    double failureValue_ = 0;
    std::wstring failureText_;
    int percent_ = 0;
    bool downloadStarted_ = false;
    uint32_t downloadStartMs_ = 0;
};
