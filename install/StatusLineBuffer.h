#pragma once
// Cuts a child's output into status lines. Output arrives in reads of arbitrary size, so a
// line may be split across reads: the buffer keeps the unfinished tail until its "\n" (or
// the end of the output) arrives. Lines are handed out as raw bytes, without the "\n" and
// without one "\r" before it, so that each line is decoded whole in the code page in force
// when it is complete (a multi-byte character split by a read is never torn apart).
//
// A line longer than kMaxLineBytes keeps only its first kMaxLineBytes bytes; the rest of it
// is dropped, so a package that never writes a newline cannot make the installer grow
// without bound. No status value needs more (a key and 771 characters of up to 4 bytes).
//
// Owned and used by one thread (the runner's worker).
#include <functional>
#include <string>
#include <string_view>

class StatusLineBuffer {
public:
    static constexpr size_t kMaxLineBytes = 4096;
    using LineHandler = std::function<void(std::string_view line)>;

    // Appends the bytes of one read and hands every line they complete to `onLine`.
    void Feed(std::string_view bytes, const LineHandler& onLine);
    // The output has ended: hands the unfinished last line, if any, to `onLine`.
    void Finish(const LineHandler& onLine);

private:
    void Emit(const LineHandler& onLine);

    std::string pending_;
    bool truncated_ = false;  // the current line went past kMaxLineBytes
};
