#pragma once
// Decoded skin images. Each image is decoded once (gdk-pixbuf on Linux, cairo's PNG reader on
// Windows) into a premultiplied ARGB cairo surface and kept; a name that cannot be found or
// decoded is remembered as missing, draws nothing and is no error. Names go through the image
// alias table first; an absolute path of an existing file is read from disk (images kept
// beside the executable).
//
// High density: asked for scale 2, the cache looks for "name@2x.png" beside "name.png" and
// returns it with scale 2 (its size in window units is half its pixel size, so descriptors
// written for the 1x image apply unchanged); without one the 1x image is returned and cairo
// scales it.
//
// A window about to be shown hands the names its first frame draws to Preload(): a worker
// decodes them while the window is mapped, and the next Get() takes them over. Where a thread
// costs more than the decoding it would overlap (Windows: see PreloadOnWorker), they are
// decoded at once on the calling thread instead.
//
// Thread: the user-interface thread only (the preload worker touches none of the cache's state
// before Get() has joined it).
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/CairoPtr.h"
#include "toolkit/Values.h"

namespace Toolkit {

class Image {
public:
    // Takes ownership of `surface` (of width*scale by height*scale pixels).
    Image(cairo_surface_t* surface, int width, int height, int scale = 1);
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    cairo_surface_t* Surface() const { return surface_.get(); }
    // Size in window units.
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Pixels per window unit (1, or 2 for an "@2x" file).
    int Scale() const { return scale_; }

private:
    SurfacePtr surface_;
    int width_;
    int height_;
    int scale_;
};

class ImageCache {
public:
    static ImageCache& Instance();

    // The image for a name, with pixels of the mask colour (RGB compared) made transparent
    // when `hasMask`. Null when missing. The masked variant is derived from the one decode.
    // `scale` 2 prefers the "@2x" file.
    std::shared_ptr<const Image> Get(const std::wstring& name, bool hasMask = false, Color mask = 0, int scale = 1);
    // Decodes from bytes without caching (tests, tools).
    static std::shared_ptr<const Image> Decode(const std::string& bytes);

    // Starts decoding the images of these names (as Get() takes them) at `scale` on a worker
    // thread, or decodes them at once where workers do not pay (PreloadOnWorker); names
    // already cached, or already being preloaded, are left out. The next Get() or Clear()
    // waits for the worker and keeps what it decoded, so nothing is decoded twice. Returns
    // whether anything was queued for decoding (a worker started, or images decoded at once).
    bool Preload(const std::vector<std::wstring>& names, int scale = 1);

    // Drops everything (a language switch reloads images).
    void Clear();
    // Number of decodes performed since start (proves the once-only rule in tests).
    std::size_t DecodeCount() const { return decodes_; }

    ImageCache();
    ~ImageCache();

private:
    struct Preloading;

    // Reads and decodes one name, counting the decode; any thread.
    static std::shared_ptr<const Image> Load(const std::wstring& name, std::size_t& decodes);
    // The plain image of a resolved name at a scale, from `plain` or loaded into it; any thread,
    // on a map of its own.
    using PlainMap = std::map<std::string, std::shared_ptr<const Image>>;
    static std::shared_ptr<const Image> Plain(PlainMap& plain, const std::wstring& name, int scale, std::size_t& decodes);
    // Joins a running preload and takes over its images.
    void TakePreloaded();
    // Whether Preload() hands its work to a worker thread on this system (one twin each).
    static bool PreloadOnWorker();

    PlainMap plain_;                                                      // key: normalised name, "@2x" marked
    std::map<std::pair<std::string, Color>, std::shared_ptr<const Image>> masked_;
    std::size_t decodes_ = 0;
    std::unique_ptr<Preloading> preloading_;
};

}  // namespace Toolkit
