#pragma once
// The package digest named by a download address: "<...>/<md5>/<file name>" names the MD5 of
// the file (32 lower-case hexadecimal digits), checked by the downloaders against the final
// address, after redirects; "<...>/<sha256>/<file name>" (64 hexadecimal digits of either case)
// names its SHA-256, checked against the address as given before the package may run.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "utils/FileHandle.h"

namespace Download {

class Md5Hash;

// The text between the last two "/" of an address; "" with fewer than two "/".
std::string DigestFromUrl(const std::string& url);

enum class DigestCheck {
    NotNamed,  // the address names no digest (the segment is not 32 characters long)
    Match,
    Mismatch,  // also when the file cannot be read: its content is then unknown
};

// A SHA-256 digest as 64 lower-case digits: `text` when it is 64 hexadecimal digits of either
// case, "" otherwise.
std::string NormalizeSha256(const std::string& text);

// The SHA-256 the address names (normalised), or "".
std::string Sha256FromUrl(const std::string& url);

// Checks the file at `path` against the digest `url` names. The comparison is exact, so an
// upper-case digest never matches.
DigestCheck CheckFileDigest(const std::string& url, const std::string& path);

// The MD5 of a file kept while the file is written front to back, so that the check after the
// last byte needs no second pass over the file. It only vouches for bytes [0, Hashed()) as they
// were handed to it: a writer that restarts the file calls Reset(), one that resumes it hashes
// the prefix on disk with Prime(). Any doubt (a write that is not at the end of what was hashed,
// a prefix that cannot be read, a library failure) leaves the state untrusted, and the check
// then reads the file as a whole, as it would without this object.
//
// Threads: one object belongs to one thread at a time.
class WrittenDigest {
public:
    WrittenDigest();
    ~WrittenDigest();
    WrittenDigest(const WrittenDigest&) = delete;
    WrittenDigest& operator=(const WrittenDigest&) = delete;

    // The file is written again from its first byte: an empty, trusted state.
    void Reset();
    // Starts over from bytes [0, size) of `file`, read once (what a resumed transfer appends
    // to). Nothing earlier is carried over: the file on disk, not what this object saw before,
    // is what the finished file will hold. Untrusted when the file cannot be read to `size`.
    void Prime(const Utils::FileHandle& file, int64_t size);
    // Bytes just written at `offset` of the file. An offset other than Hashed() makes the state
    // untrusted until the next Reset() or Prime().
    void Add(int64_t offset, const void* data, std::size_t size);
    // The state no longer describes the file (a write that failed part way, a file removed).
    void Invalidate() { trusted_ = false; }

    bool Trusted() const { return trusted_; }
    int64_t Hashed() const { return hashed_; }

    // The digest as 32 lower-case hexadecimal digits when the state is trusted and covers
    // exactly `length` bytes; "" otherwise. Either way the state is used up (untrusted) after.
    std::string TakeHex(int64_t length);

private:
    std::unique_ptr<Md5Hash> hash_;
    int64_t hashed_ = 0;
    bool trusted_ = false;
};

// CheckFileDigest with the digest kept while the file at `path` was written: used when it is
// trusted and covers the whole file as it is now, otherwise the file is read as CheckFileDigest
// reads it. Same results as CheckFileDigest; `written` is used up.
DigestCheck CheckWrittenDigest(const std::string& url, const std::string& path, WrittenDigest& written);

}  // namespace Download
