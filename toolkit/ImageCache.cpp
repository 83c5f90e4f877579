#include "toolkit/ImageCache.h"

#include <cairo.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "utils/StringUtils.h"
#include "utils/SignalStack.h"

namespace Toolkit {

Image::Image(cairo_surface_t* surface, int width, int height, int scale)
    : surface_(surface), width_(width), height_(height), scale_(scale) {}

// A preload under way: the names to decode and, once the worker has ended, what it decoded.
// The worker uses only this object; the user-interface thread reads it after the join.
struct ImageCache::Preloading {
    struct Job {
        std::wstring name;
        std::string key;
    };
    std::vector<Job> jobs;
    int scale = 1;
    PlainMap decoded;
    std::size_t decodes = 0;
    std::thread thread;
};

ImageCache::ImageCache() = default;
ImageCache::~ImageCache() {
    if (preloading_ && preloading_->thread.joinable()) preloading_->thread.join();
}

ImageCache& ImageCache::Instance() {
    static ImageCache cache;
    return cache;
}

namespace {

std::shared_ptr<const Image> WithMask(const Image& base, Color mask) {
    const int w = cairo_image_surface_get_width(base.Surface()), h = cairo_image_surface_get_height(base.Surface());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(base.Surface());
    cairo_surface_flush(surface);
    const unsigned char* src = cairo_image_surface_get_data(base.Surface());
    unsigned char* dst = cairo_image_surface_get_data(surface);
    const int ss = cairo_image_surface_get_stride(base.Surface()), ds = cairo_image_surface_get_stride(surface);
    const uint32_t rgb = mask & 0x00FFFFFFu;
    for (int y = 0; y < h; ++y) {
        auto* s = reinterpret_cast<const uint32_t*>(src + static_cast<size_t>(y) * ss);
        auto* d = reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(y) * ds);
        for (int x = 0; x < w; ++x) {
            // Only opaque pixels can match: the mask names a colour of the unblended image.
            d[x] = ((s[x] >> 24) == 0xFF && (s[x] & 0x00FFFFFFu) == rgb) ? 0u : s[x];
        }
    }
    cairo_surface_mark_dirty(surface);
    return std::make_shared<Image>(surface, base.Width(), base.Height(), base.Scale());
}

// "res\bg.png" -> "res\bg@2x.png"; a name without an extension gets "@2x" appended.
std::wstring HighDensityName(const std::wstring& name) {
    const size_t slash = name.find_last_of(L"\\/");
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return name + L"@2x";
    return name.substr(0, dot) + L"@2x" + name.substr(dot);
}

}  // namespace

std::shared_ptr<const Image> ImageCache::Load(const std::wstring& name, std::size_t& decodes) {
    std::string bytes;
    if (!SkinResources::Instance().Read(name, bytes)) {
        const std::filesystem::path path(name);
        std::error_code ec;
        if (path.is_absolute() && std::filesystem::is_regular_file(path, ec)) {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream ss;
            ss << in.rdbuf();
            bytes = ss.str();
        }
    }
    if (bytes.empty()) return nullptr;
    ++decodes;
    return Decode(bytes);
}

namespace {
// A requested name through the image alias table.
const std::wstring& Resolve(const std::wstring& requested) {
    const std::wstring* alias = SharedResources().FindImageAlias(requested);
    return alias ? *alias : requested;
}

std::string CacheKey(const std::wstring& name, int scale) {
    std::string key = SkinResources::NormalizeName(name);
    if (std::filesystem::path(name).is_absolute()) key = "/" + Utils::ToUtf8(name);  // files on disk keep their case
    if (scale > 1) key += "\n@2x";                                           // cannot clash with a real name
    return key;
}
}  // namespace

std::shared_ptr<const Image> ImageCache::Plain(PlainMap& plain, const std::wstring& name, int scale,
                                               std::size_t& decodes) {
    const std::string key = CacheKey(name, scale);
    auto it = plain.find(key);
    if (it != plain.end()) return it->second;
    std::shared_ptr<const Image> image;
    if (scale > 1) {
        if (auto dense = Load(HighDensityName(name), decodes)) {
            // The drawn size is the 1x size, so descriptors keep their meaning.
            cairo_surface_t* s = cairo_surface_reference(dense->Surface());
            image = std::make_shared<Image>(s, (dense->Width() + 1) / 2, (dense->Height() + 1) / 2, 2);
        } else {
            image = Plain(plain, name, 1, decodes);
        }
    } else {
        image = Load(name, decodes);
    }
    plain.emplace(key, image);  // a miss is remembered too
    return image;
}

bool ImageCache::Preload(const std::vector<std::wstring>& names, int scale) {
    TakePreloaded();
    auto preload = std::make_unique<Preloading>();
    preload->scale = scale >= 2 ? 2 : 1;
    for (const std::wstring& requested : names) {
        if (requested.empty()) continue;
        const std::wstring& name = Resolve(requested);
        std::string key = CacheKey(name, preload->scale);
        if (plain_.count(key)) continue;
        bool queued = false;
        for (const auto& job : preload->jobs) queued = queued || job.key == key;
        if (queued) continue;
        // A name without an "@2x" file falls back to its 1x image: one already held is lent
        // to the worker (images are immutable) rather than decoded again.
        if (auto held = plain_.find(CacheKey(name, 1)); preload->scale > 1 && held != plain_.end())
            preload->decoded.insert(*held);
        preload->jobs.push_back({name, std::move(key)});
    }
    if (preload->jobs.empty()) return false;
    if (!PreloadOnWorker()) {
        for (const auto& job : preload->jobs) Plain(preload->decoded, job.name, preload->scale, preload->decodes);
        preloading_ = std::move(preload);  // taken over by the next Get(), as a worker's would be
        return true;
    }
    try {
        preload->thread = std::thread([work = preload.get()] {
            Utils::EnsureAlternateSignalStack();  // a crash here is still reported
            for (const auto& job : work->jobs) Plain(work->decoded, job.name, work->scale, work->decodes);
        });
    } catch (const std::system_error&) {
        return false;  // no thread: Get() decodes on demand
    }
    preloading_ = std::move(preload);
    return true;
}

void ImageCache::TakePreloaded() {
    if (!preloading_) return;
    std::unique_ptr<Preloading> done = std::move(preloading_);
    if (done->thread.joinable()) done->thread.join();
    decodes_ += done->decodes;
    for (auto& [key, image] : done->decoded) plain_.emplace(key, std::move(image));  // kept entries win
}

std::shared_ptr<const Image> ImageCache::Get(const std::wstring& requested, bool hasMask, Color mask, int scale) {
    if (requested.empty()) return nullptr;
    const std::wstring& name = Resolve(requested);
    const int wanted = scale >= 2 ? 2 : 1;
    TakePreloaded();
    std::shared_ptr<const Image> base = Plain(plain_, name, wanted, decodes_);
    if (!base || !hasMask) return base;
    auto mk = std::make_pair(CacheKey(name, base->Scale()), mask & 0x00FFFFFFu);
    auto mit = masked_.find(mk);
    if (mit != masked_.end()) return mit->second;
    auto masked = WithMask(*base, mask);
    masked_.emplace(mk, masked);
    return masked;
}

void ImageCache::Clear() {
    TakePreloaded();
    plain_.clear();
    masked_.clear();
}

}  // namespace Toolkit
