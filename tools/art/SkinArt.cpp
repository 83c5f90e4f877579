// skin-art: draws every image of the installer's skin with cairo and writes them as PNG, each
// at 1x ("name.png") and 2x ("name@2x.png"). The drawing code is the source of the art: change
// a shape or a colour here and rebuild.
//
//   skin-art [--reference] SKIN_OUT ICON_OUT
//
// SKIN_OUT receives the tree the skin package holds ("res/...", "lang/.../res/lan.png");
// ICON_OUT receives the product icon ("product.png", "product@2x.png"). The skin images are
// written small, as the package ships them (ShippedPng: a palette where the picture stays
// above kFloorDb with no visible gradient steps, else exact); with --reference they are
// written exactly as drawn, the pictures the shipped ones are measured against. The icon is always exact: Windows takes it
// as a 32-bit icon image. Exit codes: 0 written, 1 a file could not be written, 2 usage.
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <omp.h>

#include "ArtPalette.h"
#include "ArtShapes.h"
#include "RgbaImage.h"
#include "ShippedPng.h"
#include "toolkit/CairoPtr.h"

namespace fs = std::filesystem;
using namespace Art;

namespace {

using Draw = std::function<void(cairo_t*)>;

std::atomic<int> g_failures{0};

// The shipped images' limits, each a little inside the one the build checks them against (40 dB,
// 5 levels of gradient banding), so that a small change in the art does not land exactly on it.
constexpr double kFloorDb = 40.5;
constexpr double kMaxBanding = 4.5;

bool WriteShipped(cairo_surface_t* s, const fs::path& file) {
    cairo_surface_flush(s);
    const Art::RgbaImage image =
        Art::RgbaImage::FromCairoArgb32(cairo_image_surface_get_data(s), cairo_image_surface_get_width(s),
                                        cairo_image_surface_get_height(s), cairo_image_surface_get_stride(s));
    const std::string png = Art::ShippedPng::Encode(image, kFloorDb, kMaxBanding).png;
    if (png.empty()) return false;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
    out.close();
    return !out.fail();
}

// One image at one scale. Each is drawn, reduced and written by itself, so images can be made
// on several threads at once without changing a byte of any of them.
struct Job {
    fs::path file;
    int w = 0, h = 0, scale = 1;
    bool exact = false;  // --reference, and always for the icon
    Draw draw;
};

void Make(const Job& job) {
    std::error_code ec;
    fs::create_directories(job.file.parent_path(), ec);
    const Toolkit::SurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, job.w * job.scale, job.h * job.scale));
    {
        const Toolkit::CairoPtr cr(cairo_create(s.get()));
        cairo_scale(cr.get(), job.scale, job.scale);
        job.draw(cr.get());
    }
    // A surface cairo could not make, or drawing that failed, writes nothing either.
    const bool written = cairo_surface_status(s.get()) == CAIRO_STATUS_SUCCESS &&
                         (job.exact ? cairo_surface_write_to_png(s.get(), job.file.c_str()) == CAIRO_STATUS_SUCCESS
                                    : WriteShipped(s.get(), job.file));
    if (!written) {
        std::fprintf(stderr, "skin-art: cannot write %s\n", job.file.c_str());
        ++g_failures;
    }
}

class Jobs {
public:
    explicit Jobs(bool exact) : exact_(exact) {}

    // `draw` on a w x h canvas (in 1x units), at both scales. The drawing runs later, perhaps on
    // another thread: it must own what it reads.
    void Add(const fs::path& out, const std::string& name, int w, int h, Draw draw, bool exact = false) {
        for (int scale : {1, 2}) {
            fs::path file = out / name;
            if (scale == 2) file.replace_filename(file.stem().string() + "@2x" + file.extension().string());
            jobs_.push_back({file, w, h, scale, exact || exact_, draw});
        }
    }

    // Makes every image, one thread per core, each taking the next image when it is done.
    void Run() {
        std::atomic<std::size_t> next{0};
        const auto work = [&] {
            // The quantizer sums colour errors across its threads; one thread per image makes the
            // order, and with it the palettes and the archive's bytes, the same on every machine.
            omp_set_num_threads(1);
            for (std::size_t i; (i = next++) < jobs_.size();) Make(jobs_[i]);
        };
        const unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
        std::vector<std::thread> threads;
        for (unsigned t = 1; t < n; ++t) threads.emplace_back(work);
        work();
        for (auto& t : threads) t.join();
    }

private:
    bool exact_;
    std::vector<Job> jobs_;
};

std::string FrameName(const char* folder, int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s/%03d.png", folder, i);
    return buf;
}

// ---- main window ----

void Background(cairo_t* cr) {
    const double w = 600, h = 400;
    SetColor(cr, kWhite);
    cairo_paint(cr);
    // A cool wash under the title and the product name, fading into the white body.
    const Toolkit::PatternPtr wash(cairo_pattern_create_linear(0, 0, 0, 170));
    AddStop(wash.get(), 0, kWash, 1);
    AddStop(wash.get(), 1, kWash, 0);
    cairo_rectangle(cr, 0, 0, w, 170);
    cairo_set_source(cr, wash.get());
    cairo_fill(cr);
    // Two soft waves along the bottom edge.
    Wave(cr, w, h, 34, 18, 0.15, kBlue, 0.05);
    Wave(cr, w, h, 22, 12, 0.55, kBlueDeep, 0.06);
}

void Logo(cairo_t* cr, double size) { ProductMark(cr, 0, 0, size); }

void TitleButton(cairo_t* cr, bool close, Rgb ink) {
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetColor(cr, ink);
    if (close) {
        cairo_move_to(cr, 2.5, 2.5);
        cairo_line_to(cr, 12.5, 12.5);
        cairo_move_to(cr, 12.5, 2.5);
        cairo_line_to(cr, 2.5, 12.5);
    } else {
        cairo_move_to(cr, 2.5, 7.5);
        cairo_line_to(cr, 12.5, 7.5);
    }
    cairo_stroke(cr);
}

void BoxCloseButton(cairo_t* cr, int state) {
    if (state > 0) {
        SetColor(cr, state == 1 ? kHover : kPress);
        cairo_arc(cr, 12, 12, 11, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetColor(cr, state == 0 ? kGreyIcon : kGreyDark);
    cairo_move_to(cr, 8, 8);
    cairo_line_to(cr, 16, 16);
    cairo_move_to(cr, 16, 8);
    cairo_line_to(cr, 8, 16);
    cairo_stroke(cr);
}

void ComboArrow(cairo_t* cr) {
    cairo_set_line_width(cr, 1.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColor(cr, kBlue);
    cairo_move_to(cr, 3.5, 5.5);
    cairo_line_to(cr, 7.5, 9.5);
    cairo_line_to(cr, 11.5, 5.5);
    cairo_stroke(cr);
}

void EditFrame(cairo_t* cr) {
    RoundedRect(cr, 0.5, 0.5, 39, 39, 4);
    SetColor(cr, kWhite);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    SetColor(cr, kLine);
    cairo_stroke(cr);
}

void ProgressTrack(cairo_t* cr) {
    RoundedRect(cr, 0, 0, 40, 10, 5);
    SetColor(cr, kTrack);
    cairo_fill(cr);
}

void ProgressFill(cairo_t* cr) {
    RoundedRect(cr, 0, 0, 40, 10, 5);
    const Toolkit::PatternPtr p(cairo_pattern_create_linear(0, 0, 0, 10));
    AddStop(p.get(), 0, kBlueLight, 1);
    AddStop(p.get(), 1, kBlue, 1);
    cairo_set_source(cr, p.get());
    cairo_fill(cr);
}

void CheckBox(cairo_t* cr, bool ticked) {
    RoundedRect(cr, 0.75, 0.75, 16.5, 16.5, 3);
    if (ticked) {
        SetColor(cr, kBlue);
        cairo_fill(cr);
        cairo_set_line_width(cr, 2);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        SetColor(cr, kWhite);
        cairo_move_to(cr, 4.5, 9.2);
        cairo_line_to(cr, 7.6, 12.2);
        cairo_line_to(cr, 13.5, 5.8);
        cairo_stroke(cr);
    } else {
        SetColor(cr, kWhite);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1.5);
        SetColor(cr, kGreyIcon);
        cairo_stroke(cr);
    }
}

void LanguageBadge(cairo_t* cr) {
    // A small globe: the language resource image.
    cairo_set_line_width(cr, 1.4);
    SetColor(cr, kBlue);
    cairo_arc(cr, 12, 12, 9, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, 12, 12);
    cairo_scale(cr, 0.45, 1);
    cairo_arc(cr, 0, 0, 9, 0, 2 * M_PI);
    cairo_restore(cr);
    cairo_stroke(cr);
    cairo_move_to(cr, 3, 12);
    cairo_line_to(cr, 21, 12);
    cairo_stroke(cr);
}

}  // namespace

int main(int argc, char** argv) {
    const bool reference = argc == 4 && std::string(argv[1]) == "--reference";
    if (argc != 3 && !reference) {
        std::fprintf(stderr, "usage: skin-art [--reference] SKIN_OUT ICON_OUT\n");
        return 2;
    }
    const fs::path skin = argv[argc - 2], icon = argv[argc - 1];
    Jobs jobs(reference);

    jobs.Add(skin, "res/mainWnd/bg.png", 600, 400, Background);
    jobs.Add(skin, "res/mainWnd/logo.png", 68, 68, [](cairo_t* cr) { Logo(cr, 68); });
    jobs.Add(skin, "res/mainWnd/langCombo.png", 15, 15, ComboArrow);
    jobs.Add(skin, "res/mainWnd/installDirEdit.png", 40, 40, EditFrame);
    jobs.Add(skin, "res/mainWnd/installPrg1.png", 40, 10, ProgressTrack);
    jobs.Add(skin, "res/mainWnd/installPrg2.png", 40, 10, ProgressFill);
    jobs.Add(skin, "res/mainWnd/treatyCb1.png", 18, 18, [](cairo_t* cr) { CheckBox(cr, false); });
    jobs.Add(skin, "res/mainWnd/treatyCb2.png", 18, 18, [](cairo_t* cr) { CheckBox(cr, true); });

    const Rgb titleInk[3] = {kGreyIcon, kBlue, kBlueDeep};
    for (int state = 0; state < 3; ++state) {
        const std::string n = std::to_string(state + 1);
        const Rgb ink = titleInk[state];
        jobs.Add(skin, "res/common/minbtn" + n + ".png", 15, 15, [ink](cairo_t* cr) { TitleButton(cr, false, ink); });
        jobs.Add(skin, "res/common/closebtn" + n + ".png", 15, 15, [ink](cairo_t* cr) { TitleButton(cr, true, ink); });
        jobs.Add(skin, "res/MessageBoxWnd/closeBtn" + n + ".png", 24, 24,
                 [state](cairo_t* cr) { BoxCloseButton(cr, state); });
    }
    for (const char* lang : {"lang/Default/res/lan.png", "lang/en-US/res/lan.png"})
        jobs.Add(skin, lang, 24, 24, LanguageBadge);

    for (int i = 0; i < kInstallFrames; ++i)
        jobs.Add(skin, FrameName("res/mainWnd/progressAnimate", i), 200, 200,
                 [i](cairo_t* cr) { InstallingFrame(cr, i); });
    for (int i = 0; i < kFinishFrames; ++i)
        jobs.Add(skin, FrameName("res/mainWnd/finishedAnimate", i), 70, 70,
                 [i](cairo_t* cr) { FinishedFrame(cr, i); });

    jobs.Add(icon, "product.png", 64, 64, [](cairo_t* cr) { Logo(cr, 64); }, /*exact=*/true);
    jobs.Run();
    return g_failures ? 1 : 0;
}
