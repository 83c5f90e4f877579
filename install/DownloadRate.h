#pragma once
// The package download's speed and time left, as both front ends show them: the window under
// its progress bar, the unattended mode on its progress lines.
//
// The speed is an exponentially smoothed average of the bytes the package files gain (time
// constant kTimeConstantSec). Samples closer together than kMinIntervalMs are gathered into one
// interval, so a zero interval or a flood of progress events never divides by nothing or
// swings the value. The first kSteadyMs are a plain mean (a slow first interval while the
// connection opens must not hold the value down), and nothing is reported before they are
// covered; after that a single interval counts with at most kBurstFactor times the average,
// so a burst of buffered data moves it only a little.
//
// The total comes from a reported fraction and the bytes on disk read with it (at most every
// kTotalIntervalMs; the timer's samples never pair a fresh byte count with an old fraction);
// a fraction of 0 (a server that announced no length) leaves the time left unknown.
//
// Event rules (OnEvent, in arrival order): 1001 starts a new measurement, except right after a
// 1005 (the multi-connection downloader running again), which keeps the average and only takes
// a new byte base; 1002 samples; 1003, 1004 and every package or uninstall event end the
// download, after which nothing is reported until the next 1001. Byte counts that shrink (a
// part truncated for a fresh start) re-base without a negative speed.
//
// Threads: owned by the front end's thread, fed with its events and its monotonic clock.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class DownloadRate {
public:
    static constexpr std::int64_t kMinIntervalMs = 500;
    static constexpr std::int64_t kSteadyMs = 1500;
    static constexpr double kTimeConstantSec = 3.0;
    static constexpr double kBurstFactor = 4.0;
    static constexpr std::int64_t kTotalIntervalMs = 200;

    // Bytes the download has on disk now; asked only when a sample is due.
    using ByteSource = std::function<std::int64_t()>;

    // One install event with the front end's monotonic time in milliseconds.
    void OnEvent(std::int32_t code, double value, std::int64_t nowMs, const ByteSource& bytes);
    // A timer's sample while the download runs (so a stalled download's speed falls).
    void Tick(std::int64_t nowMs, const ByteSource& bytes);

    // Forgets everything; nothing is reported until a new download starts.
    void Reset();

    // The smoothed bytes per second while the download runs and the value is steady.
    std::optional<double> BytesPerSecond() const;
    // Seconds until the end at the smoothed speed; nothing when the speed is not reported, is
    // zero, or the total is unknown.
    std::optional<double> SecondsLeft() const;
    bool Downloading() const { return downloading_; }

    // The lower-level interface the events drive (tests use it directly).
    void Sample(std::int64_t nowMs, std::int64_t bytes);
    // The reported fraction of the whole (0..1; 0 or anything invalid: an unknown total) and
    // the bytes on disk at the same moment; the total follows from the pair.
    void SetFraction(double fraction, std::int64_t bytes, std::int64_t nowMs);
    // A new byte base that keeps the average (a restarted downloader).
    void Rebase();
    bool Due(std::int64_t nowMs) const;

    // What the download of `packagePath` has on disk: the sizes of the files in its folder
    // whose names begin with its name (the file itself and a multi-connection download's
    // parts). 0 when the folder cannot be read.
    static std::int64_t BytesOnDisk(const std::wstring& packagePath);

private:
    bool downloading_ = false;
    bool restartPending_ = false;
    bool based_ = false;           // baseMs_/baseBytes_ hold the open interval's start
    std::int64_t baseMs_ = 0;
    std::int64_t baseBytes_ = 0;
    std::int64_t lastBytes_ = 0;
    std::int64_t measuredMs_ = 0;  // time covered by the intervals in the average
    bool haveRate_ = false;
    double rate_ = 0.0;
    double total_ = -1.0;          // bytes in the whole download; negative: unknown
    std::int64_t totalAtMs_ = 0;   // when total_ was last taken from a fraction
};
