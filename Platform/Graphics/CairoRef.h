#pragma once
#include <cairo.h>
#include <glib-object.h>

#include <utility>

namespace gfx {

// Owns one reference to a reference-counted Cairo object; copying takes another reference.
template <typename T, T* (*Reference)(T*), void (*Release)(T*)>
class CairoRef {
public:
    CairoRef() = default;
    // Adopts a reference the caller already owns (what the create functions return).
    explicit CairoRef(T* adopted) : m_ptr(adopted) {}
    CairoRef(const CairoRef& o) : m_ptr(o.m_ptr ? Reference(o.m_ptr) : nullptr) {}
    CairoRef(CairoRef&& o) noexcept : m_ptr(std::exchange(o.m_ptr, nullptr)) {}
    CairoRef& operator=(CairoRef o) noexcept
    {
        std::swap(m_ptr, o.m_ptr);
        return *this;
    }
    ~CairoRef()
    {
        if (m_ptr)
            Release(m_ptr);
    }

    T* get() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

private:
    T* m_ptr = nullptr;
};

using SurfaceRef = CairoRef<cairo_surface_t, cairo_surface_reference, cairo_surface_destroy>;
using CairoContextRef = CairoRef<cairo_t, cairo_reference, cairo_destroy>;
using PatternRef = CairoRef<cairo_pattern_t, cairo_pattern_reference, cairo_pattern_destroy>;

// The same for GObject-based types (Pango layouts, contexts and font maps).
template <typename T>
class GObjectRef {
public:
    GObjectRef() = default;
    explicit GObjectRef(T* adopted) : m_ptr(adopted) {}
    GObjectRef(const GObjectRef& o) : m_ptr(o.m_ptr ? static_cast<T*>(g_object_ref(o.m_ptr)) : nullptr) {}
    GObjectRef(GObjectRef&& o) noexcept : m_ptr(std::exchange(o.m_ptr, nullptr)) {}
    GObjectRef& operator=(GObjectRef o) noexcept
    {
        std::swap(m_ptr, o.m_ptr);
        return *this;
    }
    ~GObjectRef()
    {
        if (m_ptr)
            g_object_unref(m_ptr);
    }

    T* get() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

private:
    T* m_ptr = nullptr;
};

} // namespace gfx
