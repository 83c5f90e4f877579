#pragma once
// The package digest named by a download address: "<...>/<md5>/<file name>" names the MD5 of
// the file (32 lower-case hexadecimal digits). The address checked is the final one, after
// redirects.
#include <string>

namespace Download {

// The text between the last two "/" of an address; "" with fewer than two "/".
std::string DigestFromUrl(const std::string& url);

enum class DigestCheck {
    NotNamed,  // the address names no digest (the segment is not 32 characters long)
    Match,
    Mismatch,  // also when the file cannot be read: its content is then unknown
};

// Checks the file at `path` against the digest `url` names. The comparison is exact, so an
// upper-case digest never matches.
DigestCheck CheckFileDigest(const std::string& url, const std::string& path);

}  // namespace Download
