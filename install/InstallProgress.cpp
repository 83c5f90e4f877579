#include "install/InstallProgress.h"

#include <cmath>

namespace {

// Truncation of a value a package may have made absurd: the result stays a usable percent.
int Truncate(double percent) {
    if (!std::isfinite(percent)) return 0;
    if (percent < -1000.0) return -1000;
    if (percent > 1000.0) return 1000;
    return static_cast<int>(percent);
}

}  // namespace

int InstallProgress::OnDownload(double fraction) const { return Truncate(fraction * scale_ * 100); }

int InstallProgress::OnInstall(double fraction) {
    // A package's fraction outside 0..1 (or no number at all) would throw the bar about.
    if (!(fraction >= 0.0)) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    double smooth = smooth_ + 0.15;
    if (smooth > 0.95) smooth = 0.95;
    if (fraction > smooth) smooth = fraction;
    smooth_ = smooth;
    return Truncate(((1 - scale_) * smooth + scale_) * 100);
}
