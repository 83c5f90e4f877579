#pragma once
// The failure-reason texts the installer reports as task names.
#include <string>

// "1.code=28；2.msg=timeout；3.缓存磁盘容量=12.50G；4.缓存读写权限=可读；5.服务器连接状态code=64":
// the downloader's code and message, the space available where the package goes, whether the
// package file can be written there (tried by creating and deleting it), and the network
// probe's result run now. At most 199 characters.
std::wstring DownloadFailureReason(int code, const std::wstring& message, const std::wstring& packagePath);

// The same text from parts already measured (the free space in bytes).
std::wstring FormatDownloadFailureReason(int code, const std::wstring& message, double availableBytes,
                                         bool writable, unsigned network);

// "安装失败原因:1.code=1000；2.msg=<package text>", the message shortened so that the whole
// text has at most 199 characters (a package's own error text can be far longer).
std::wstring InstallFailureReason(int code, const std::wstring& message);
