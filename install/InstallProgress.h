#pragma once
// The whole-bar percentage of an install: the download fills the first `downloadScale` of the
// bar, the package run the rest. Install progress is smoothed: every report advances the
// install share by at least 15 % until 95 % of it, a larger reported fraction (clamped to 0..1)
// takes over at once, and the bar never moves backwards. Truncated to whole per cent.
//
// Owned by the thread that shows the progress (the window's or the unattended mode's).
class InstallProgress {
public:
    explicit InstallProgress(double downloadScale) : scale_(downloadScale) {}

    // Percent for a download fraction (0..1).
    int OnDownload(double fraction) const;
    // Percent for an install report; advances the smoothing.
    int OnInstall(double fraction);

private:
    double scale_;
    double smooth_ = 0.0;
};
