#pragma once
// One install attempt without any window: the pre-checks in their fixed order, the hand-over to
// the orchestrator, and the handling of every event the stages report (through one
// InstallEventReducer, plus the records and the analytics events that go with them).
//
// A front end drives it like this:
//   session.SetParams(params);
//   for (PreCheckStep step : kPreCheckOrder)          // one at a time, so a window can show
//       if (auto failure = session.Check(step)) ...   // failure->noticeId between steps
//   session.Start();
//   // every event the callback delivered, on the owner's thread, in arrival order:
//   InstallReaction r = session.OnEvent(code, value, text);
//
// Pre-check notices, in order: "IDMsgSoftRunning" (a copy of the previous uninstaller, or an
// earlier package in the same folder, still runs), "IDInvalidPath" (the folder cannot be made,
// is too long, has a name packages cannot take, is not writable, or is not safe to install into
// as root), "IDDiskLow" (less than 1 GiB available), "IDNetPoor" (only with checkNetwork). The
// window shows the first notice and carries on (it only closes when a previous installation
// exists); every other failure stops the attempt.
//
// Threads: the owner's thread (the window's, or the unattended mode's main thread) constructs
// the session, calls SetParams, Check, Start and OnEvent and destroys it. The callback given at
// construction is called on the stages' worker threads and must hand each event over to the
// owner's thread, which then passes it to OnEvent. CheckNetwork() blocks and may run on any
// thread (the window runs it on its probe thread). Start() only while no chain runs (before
// the first Start, or after an event ended the previous attempt).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "download/DownloadCallback.h"
#include "install/InstallEventReducer.h"
#include "install/InstallParams.h"

class CDownloadInstaller;

enum class PreCheckStep { kUninstallerRunning, kFolder, kFreeSpace, kNetwork };
inline constexpr PreCheckStep kPreCheckOrder[] = {PreCheckStep::kUninstallerRunning, PreCheckStep::kFolder,
                                                  PreCheckStep::kFreeSpace, PreCheckStep::kNetwork};

struct PreCheckFailure {
    PreCheckStep step;
    std::wstring noticeId;  // the text id of the notice to show
    std::wstring detail;    // the particular cause, for the log and the console
};

class InstallSession {
public:
    // Bytes that must be available for the folder.
    static constexpr uint64_t kMinFreeBytes = 1073741824ull;

    explicit InstallSession(DownloadCallback onStageEvent);
    // Stops the chain (waits for the stages' workers).
    ~InstallSession();
    InstallSession(const InstallSession&) = delete;
    InstallSession& operator=(const InstallSession&) = delete;

    void SetParams(InstallParams params);
    const InstallParams& Params() const { return params_; }

    // One pre-check; nothing when it passes. kNetwork passes at once unless checkNetwork is on.
    std::optional<PreCheckFailure> Check(PreCheckStep step);
    // Every pre-check in order; the first failure.
    std::optional<PreCheckFailure> RunPreChecks();
    // The network probe alone (blocking; any thread): "IDNetPoor" when the probe's verdict is
    // not "connected".
    static std::optional<PreCheckFailure> CheckNetwork();

    // The kept uninstaller that will run before this install ("" when none will).
    std::wstring UninstallerToRun() const;
    // "<folder>/__Package_Quorvex.exe".
    std::wstring PackagePath() const;

    // Starts the chain with the current parameters; the reducer starts a new attempt (its
    // install smoothing carries on across attempts, as the window's bar does).
    void Start();

    // Handles one event on the owner's thread: reduces it, writes the installation records
    // (2001) and the registry values (2003), and raises the analytics task events in the order
    // the window raises them. Returns what the front end has to show.
    InstallReaction OnEvent(int32_t code, double value, const std::wstring& text);

    const InstallEventReducer& Reducer() const { return *reducer_; }

private:
    std::wstring DownloadFailureReason(double value, const std::wstring& text) const;

    DownloadCallback onStageEvent_;
    InstallParams params_;
    std::unique_ptr<InstallEventReducer> reducer_;
    std::unique_ptr<CDownloadInstaller> installer_;
};
