#pragma once
// "Progress": a track (the background image) and a fill image ("foreimage") covering the part
// given by the value between "min" and "max". With "isstretchfore" (the default) the fill
// image is stretched over the filled part; otherwise it is laid out over the whole bar and cut
// to the filled part.
#include "toolkit/Label.h"

namespace Toolkit {

class CProgressUI : public CLabelUI {
public:
    CProgressUI() : CLabelUI(TextStyle{HAlign::Center, VAlign::Center, false}) {}
    std::wstring_view GetClass() const override { return L"Progress"; }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::ProgressBar; }
    bool GetAccessibleValue(double& minimum, double& maximum, double& current) const override {
        minimum = min_, maximum = max_, current = value_;
        return true;
    }

    int GetMinValue() const { return min_; }
    int GetMaxValue() const { return max_; }
    int GetValue() const { return value_; }
    void SetMinValue(int v);
    void SetMaxValue(int v);
    // Kept within min..max.
    void SetValue(int v);
    // The filled rectangle in client coordinates.
    Rect GetFillRect() const;

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    void CollectShownImages(std::vector<std::wstring>& descriptors) const override;

protected:
    void PaintStatusImage(cairo_t* cr) override;

private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool horizontal_ = true;
    bool stretchFore_ = true;
    Color foreColor_ = 0;
    std::wstring foreImage_;
};

}  // namespace Toolkit
