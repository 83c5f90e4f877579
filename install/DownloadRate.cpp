#include "install/DownloadRate.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "download/DownloadCallback.h"
#include "utils/PathText.h"

void DownloadRate::Reset() { *this = DownloadRate(); }

void DownloadRate::Rebase() { based_ = false; }

void DownloadRate::SetFraction(double fraction, std::int64_t bytes, std::int64_t nowMs) {
    const bool known = std::isfinite(fraction) && fraction > 0.0 && fraction <= 1.0 && bytes > 0;
    total_ = known ? static_cast<double>(bytes) / fraction : -1.0;
    totalAtMs_ = nowMs;
}

bool DownloadRate::Due(std::int64_t nowMs) const {
    return !based_ || nowMs < baseMs_ || nowMs - baseMs_ >= kMinIntervalMs;
}

void DownloadRate::Sample(std::int64_t nowMs, std::int64_t bytes) {
    if (bytes < 0) bytes = 0;
    // A first sample, a clock that went back, or files that shrank (a part started afresh):
    // only a new base, never a negative or invented speed.
    if (!based_ || nowMs < baseMs_ || bytes < baseBytes_) {
        based_ = true;
        baseMs_ = nowMs;
        baseBytes_ = bytes;
        lastBytes_ = bytes;
        return;
    }
    lastBytes_ = bytes;
    const std::int64_t interval = nowMs - baseMs_;
    if (interval < kMinIntervalMs) return;
    double measured = static_cast<double>(bytes - baseBytes_) * 1000.0 / static_cast<double>(interval);
    const bool warmingUp = measuredMs_ < kSteadyMs;
    measuredMs_ += interval;
    if (!haveRate_) {
        rate_ = measured;
        haveRate_ = true;
    } else if (warmingUp) {
        // The plain mean of the first seconds: a connection's slow first interval must not be
        // the base the burst limit then holds the average down to.
        rate_ += (measured - rate_) * static_cast<double>(interval) / static_cast<double>(measuredMs_);
    } else {
        if (rate_ > 0.0) measured = std::min(measured, rate_ * kBurstFactor);
        const double weight = 1.0 - std::exp(-static_cast<double>(interval) / 1000.0 / kTimeConstantSec);
        rate_ += weight * (measured - rate_);
    }
    baseMs_ = nowMs;
    baseBytes_ = bytes;
}

void DownloadRate::OnEvent(std::int32_t code, double value, std::int64_t nowMs, const ByteSource& bytes) {
    switch (code) {
        case DL_CODE_START:
            if (restartPending_ && downloading_) {
                Rebase();
            } else {
                Reset();
                downloading_ = true;
            }
            restartPending_ = false;
            if (bytes) Sample(nowMs, bytes());
            return;
        case DL_CODE_PROGRESS: {
            if (!downloading_) return;
            const bool fractionKnown = std::isfinite(value) && value > 0.0 && value <= 1.0;
            const bool pairDue = total_ < 0.0 || nowMs < totalAtMs_ || nowMs - totalAtMs_ >= kTotalIntervalMs;
            if (!fractionKnown) {
                total_ = -1.0;
                if (bytes && Due(nowMs)) Sample(nowMs, bytes());
            } else if (bytes && (pairDue || Due(nowMs))) {
                const std::int64_t now = bytes();
                Sample(nowMs, now);
                SetFraction(value, now, nowMs);
            }
            return;
        }
        case DL_CODE_RETRY:
            restartPending_ = true;
            return;
        case DL_CODE_VERIFY:
            return;
        default:
            // The download's end, or the package's or the uninstaller's events.
            downloading_ = false;
            restartPending_ = false;
            return;
    }
}

void DownloadRate::Tick(std::int64_t nowMs, const ByteSource& bytes) {
    if (downloading_ && bytes && Due(nowMs)) Sample(nowMs, bytes());
}

std::optional<double> DownloadRate::BytesPerSecond() const {
    if (!downloading_ || !haveRate_ || measuredMs_ < kSteadyMs) return std::nullopt;
    return rate_;
}

std::optional<double> DownloadRate::SecondsLeft() const {
    const std::optional<double> rate = BytesPerSecond();
    if (!rate || *rate <= 0.0 || total_ < 0.0) return std::nullopt;
    return std::max(0.0, total_ - static_cast<double>(lastBytes_)) / *rate;
}

std::int64_t DownloadRate::BytesOnDisk(const std::wstring& packagePath) {
    const std::filesystem::path package = Utils::PathFromWide(packagePath);
    const std::wstring prefix = Utils::PathToWide(package.filename());
    if (prefix.empty()) return 0;
    std::int64_t total = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(package.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        if (Utils::PathToWide(it->path().filename()).rfind(prefix, 0) != 0) continue;
        std::error_code sizeError;
        const auto size = it->file_size(sizeError);
        if (!sizeError) total += static_cast<std::int64_t>(size);
    }
    return total;
}
