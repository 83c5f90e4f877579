#pragma once
// The event contract shared by every downloader: one callback of (code, value, text).
//
//   1001 DL_CODE_START     1.0                     once at the beginning of every worker run
//   1002 DL_CODE_PROGRESS  fraction 0.0 .. 1.0     while data arrives
//   1003 DL_CODE_SUCCESS   0.0, engine name        the complete file is at the target path
//   1004 DL_CODE_FAIL      error code as float     the run has finally failed; nothing follows
//   1005 DL_CODE_RETRY     part status as float    multi-connection only: call Start() once more
//   1006 DL_CODE_VERIFY    0.0, notice text        multi-connection only: digest notice, always
//                                                  followed by 1003, 1004 or 1005
//
// Events arrive on the downloader's own threads, never on the owner's.
#include <cstdint>
#include <functional>

using DownloadCallback = std::function<void(int32_t code, double value, const wchar_t* text)>;

inline constexpr int32_t DL_CODE_START = 1001;
inline constexpr int32_t DL_CODE_PROGRESS = 1002;
inline constexpr int32_t DL_CODE_SUCCESS = 1003;
inline constexpr int32_t DL_CODE_FAIL = 1004;
inline constexpr int32_t DL_CODE_RETRY = 1005;
inline constexpr int32_t DL_CODE_VERIFY = 1006;

// Engine names carried by 1003 / 1004 / 1005.
inline constexpr wchar_t kEngineLibCurl[] = L"LibCurl";
inline constexpr wchar_t kEngineUrlMoniker[] = L"URLDownloadToFile";

// 1006 notices of the multi-connection downloader.
inline constexpr wchar_t kVerifyMismatchText[] = L"mtcurl文件md5校验失败";
inline constexpr wchar_t kVerifyNoDigestText[] = L"mtcurl获取url-md5失败";
