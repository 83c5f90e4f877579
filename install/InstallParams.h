#pragma once
// Everything one install attempt needs from its front end (the window or the unattended
// mode), in one place: the user's choices, the settings that steer the stages, and what the
// front end found out about the machine. The install layer never reads the process-wide
// settings itself; the front end copies them in here.
#include <cstdint>
#include <string>

#include "install/InstalledCopy.h"

struct InstallerSettings;

struct InstallParams {
    // The user's choices.
    std::wstring downloadUrl;
    std::wstring folder;               // absolute, without trailing separator
    std::wstring language = L"en-US";  // locale name handed to the package ("-inslang=")
    uint16_t languageId = 1033;        // its LCID, recorded in "set.ini"
    bool desktopIcon = true;
    bool taskbarPin = true;

    // Privileges, as the front end read them (console user is an administrator, process
    // elevated).
    bool userIsAdmin = false;
    bool processIsAdmin = false;

    // Settings: the downloader to use (2 system URL loader, 3 multi-connection, anything
    // else single-connection), extra package switches, the network probe switch, the share of
    // the bar given to the download, whether the HTTP library started.
    int downloadType = 1;
    std::wstring instCmd;
    bool checkNetwork = false;
    double downloadScale = 0.7;
    bool curlReady = true;
    // The SHA-256 the package must have (DownloadSha256; "" for none), checked with the digest
    // the URL may name.
    std::wstring downloadSha256;

    // The installer executable's own file name ("APPStore" in "set.ini").
    std::wstring installerFileName;
    // The previous installation (empty when there is none).
    PreviousInstallation previous;
};

// Copies the settings that steer an install (package URL, downloader type, package switches,
// network probe, download share, HTTP library state, expected SHA-256, the installer's file name) into
// `params`, the same way for every front end.
void TakeInstallSettings(InstallParams& params, const InstallerSettings& settings);
