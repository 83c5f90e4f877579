#pragma once
// An owning reference to a GObject (layouts, pixbufs, loaders, CSS providers): unref'd when the
// handle goes. Adopt() takes over a reference the caller already owns (a *_new() result);
// Ref() adds one.
#include <glib-object.h>

#include <utility>

namespace Toolkit {

template <typename T>
class GObjectPtr {
public:
    GObjectPtr() = default;
    static GObjectPtr Adopt(T* object) { return GObjectPtr(object); }
    static GObjectPtr Ref(T* object) { return GObjectPtr(object ? static_cast<T*>(g_object_ref(object)) : nullptr); }
    ~GObjectPtr() { reset(); }
    GObjectPtr(GObjectPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    GObjectPtr& operator=(GObjectPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    GObjectPtr(const GObjectPtr&) = delete;
    GObjectPtr& operator=(const GObjectPtr&) = delete;

    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) g_object_unref(std::exchange(p_, nullptr));
    }

private:
    explicit GObjectPtr(T* p) : p_(p) {}
    T* p_ = nullptr;
};

}  // namespace Toolkit
