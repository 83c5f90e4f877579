#pragma once
// Event codes of the install stages. Every stage reports through one DownloadCallback of
// (code, value, text); the download codes 1001..1006 live with the downloaders.
//
//   2001 IST_CODE_START        package runner began                (0, "")
//   2002 IST_CODE_PROGRESS     install fraction 0..1               (fraction, "")
//   2003 INSTALL_SUCCESS       final: 0 by "State=Success", 1 when the package ended silently
//   2004 IST_CODE_FAIL         final: 0 "State=Fail", 1000 "Error=", 1 no package, 2 not started,
//                              3 ended without a final line by a non-zero exit status, a signal,
//                              or silence past the idle limit (the text says which)
//   3000..3009                 package reports (paths, start options, messages); 3006 unused
//   5001 UNIST_CODE_START      reserved, never raised
//   5002 UNIST_CODE_PROGRESS   uninstall fraction                  (fraction, "")
//   5003 UNIST_CODE_SUCCESS    final: 0 by "State=Success", 1 when the uninstaller ended silently
//   5004 UNIST_CODE_FAIL       final: 1 copy missing, 2 not started, 3 the private temporary
//                              folder could not take the copy
//   5005 UNIST_CODE_ERROR      final: the uninstaller reported a failure (0, reason)
#include <cstdint>

inline constexpr int32_t IST_CODE_START = 2001;
inline constexpr int32_t IST_CODE_PROGRESS = 2002;
inline constexpr int32_t INSTALL_SUCCESS = 2003;
inline constexpr int32_t IST_CODE_FAIL = 2004;

inline constexpr int32_t PKG_CODE_INST_PATH = 3000;
inline constexpr int32_t PKG_CODE_EXE_PATH = 3001;
inline constexpr int32_t PKG_CODE_UNINST_EXE = 3002;
inline constexpr int32_t PKG_CODE_UNINST_EP = 3003;
inline constexpr int32_t PKG_CODE_START_URL = 3004;
inline constexpr int32_t PKG_CODE_STARTUP_STYLE = 3005;
inline constexpr int32_t PKG_CODE_TOP_SHOW = 3007;
inline constexpr int32_t PKG_CODE_FINISH_CLOSE = 3008;
inline constexpr int32_t PKG_CODE_MESSAGE = 3009;

inline constexpr int32_t UNIST_CODE_START = 5001;
inline constexpr int32_t UNIST_CODE_PROGRESS = 5002;
inline constexpr int32_t UNIST_CODE_SUCCESS = 5003;
inline constexpr int32_t UNIST_CODE_FAIL = 5004;
inline constexpr int32_t UNIST_CODE_ERROR = 5005;

// Values of 2004 and 5004 that tell why a stage could not run.
inline constexpr double kFailNoPackage = 1;
inline constexpr double kFailNotStarted = 2;
inline constexpr double kFailPackageError = 1000;
inline constexpr double kFailAbnormalEnd = 3;
inline constexpr double kFailNoUninstaller = 1;
inline constexpr double kFailTempUnusable = 3;

// Start-up styles a package may ask for ("StartupStyle=").
inline constexpr int kNonStartup = 0;
inline constexpr int kAutoStartup = 1;
inline constexpr int kUserStartup = 2;

// Texts of the uninstall runner's failures (the uninstaller's own contract).
inline constexpr wchar_t kUninstallerMissingText[] = L"可执行卸载文件不存在";
inline constexpr wchar_t kUninstallFailedText[] = L"安装包卸载失败";
// The installer's own cause when the private temporary folder cannot take the copy.
inline constexpr wchar_t kTempUnusableText[] = L"The private temporary folder cannot be used";
