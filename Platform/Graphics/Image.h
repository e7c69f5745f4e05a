#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/DecodeBudget.h"
#include "Platform/Graphics/Geometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace gfx {

// While one lives on a thread, the reasons that thread's decodes are refused are kept in it
// instead of logged: a caller that logs the refused picture itself leaves one line for it.
class DecodeRefusals {
public:
    DecodeRefusals();
    ~DecodeRefusals();
    DecodeRefusals(const DecodeRefusals&) = delete;
    DecodeRefusals& operator=(const DecodeRefusals&) = delete;
    // The first reason given; empty when none was.
    const std::string& reason() const { return m_reason; }
    // Where refusals on this thread go now; null when they are logged.
    static DecodeRefusals* current();
    void note(std::string reason);

private:
    std::string m_reason;
    DecodeRefusals* m_outer;
};

// A bitmap whose pixels never change once made: premultiplied ARGB32 pixels, a scale (pixels per point) and optional
// stretchable caps. Copies share the pixels. A default-constructed image is null. An awaited
// picture (below) changes once, from its stand-in to the picture.
class Image {
public:
    Image() = default;

    // PNG or JPEG. A name ending in "@2x" (before the extension) gives scale 2. A file refused
    // here or by fromFileFitting is logged once by name and reason, however often it is asked.
    static Image fromFile(const std::string& path);
    static Image fromBytes(std::span<const uint8_t> bytes, double scale = 1);
    // Decoded to fit within maxPixels (aspect kept, never enlarged), for a picture shown small:
    // a JPEG is decoded at a reduced scale by the decoder itself, other formats whole and
    // scaled down at once, so no whole-size copy outlives the call. A screen waiting for the
    // picture passes Screen, so it goes ahead of background decodes.
    static Image fromFileFitting(const std::string& path, Size maxPixels,
                                 DecodeBudget::Priority priority = DecodeBudget::Priority::Background);
    // What a picture whose data ends before the part it is drawn from does (a photo cut off)
    // gives: the part its data reached (the rest clear), or nothing.
    enum class PartialData { Shown, Refused };
    static Image fromBytesFitting(std::span<const uint8_t> bytes, Size maxPixels, double scale = 1,
                                  DecodeBudget::Priority priority = DecodeBudget::Priority::Background,
                                  PartialData partial = PartialData::Shown);
    // What decoding the picture to fit maxPixels would hold at its peak, as the decode budget
    // counts it; nothing for a picture that would not be decoded at all.
    static std::optional<size_t> decodeCostFitting(std::span<const uint8_t> bytes, Size maxPixels);
    // A JPEG reduced by the decoder itself to `eighths` / 8 of its size each way; null when it
    // cannot be decoded so.
    static SurfaceRef jpegReduced(std::span<const uint8_t> bytes, int eighths);
    // Takes a snapshot of an ARGB32 surface; later drawing into it does not change the image.
    static Image fromSurface(cairo_surface_t* surface, double scale);

    // A picture decoded elsewhere: the image draws as `standIn` (nothing for a null one) until
    // the arrival is called with the picture, from then on as the picture, in this image and in
    // every copy made of it meanwhile (their caps kept). Called on the thread that draws; only
    // its first call counts, and a null picture leaves the stand-in for good.
    // With `expectedSize` (points, as read from the picture's header) the image measures that
    // size while it waits, so what is laid out from it is right before the picture comes; the
    // stand-in (a transparent pixel for none) is drawn resized into it meanwhile. A null
    // picture gives the stand-in back its own size.
    using Arrival = std::function<void(const Image& picture)>;
    static std::pair<Image, Arrival> awaited(const Image& standIn, std::optional<Size> expectedSize = std::nullopt);
    // Still drawn as the stand-in of an awaited picture.
    bool awaitsPicture() const;
    // While an awaited picture measures a size its stand-in does not have: the stand-in as an
    // image of its own (its own caps), to be drawn resized. Null otherwise.
    Image standInMeasuredOtherwise() const;
    // Both are copies of one awaited picture.
    bool sharesArrivalWith(const Image& other) const { return m_awaited && m_awaited == other.m_awaited; }

    // Size in points read from the file header only; nothing when the header is unreadable.
    static std::optional<Size> sizeOfFile(const std::string& path);
    static std::optional<Size> sizeOfBytes(std::span<const uint8_t> bytes, double scale = 1);
    static double scaleForPath(const std::string& path);
    // The pixel size a picture of `pixels` is decoded at to fit within maxPixels.
    static Size fittedSize(Size pixels, Size maxPixels);

    bool isNull() const { return !surfaceNow(); }
    explicit operator bool() const { return !isNull(); }

    Size size() const; // points
    double scale() const { return scaleNow(); }
    int pixelWidth() const;
    int pixelHeight() const;

    // Caps in points stay unscaled when the image is drawn into a larger rect.
    Image stretchable(EdgeInsets caps) const;
    // Left/top caps with a one-pixel stretchable middle; a zero cap stretches the whole axis.
    Image stretchable(int leftCapWidth, int topCapHeight) const;
    const EdgeInsets& capInsets() const { return m_caps; }
    bool isStretchable() const { return !m_caps.isZero(); }

    // The pixels inside the pixel rectangle (clipped to the image) as a new image of the same
    // scale, without caps; null when nothing of the image lies inside.
    Image cropped(const Rect& pixelRect) const;
    // A resampled copy of the given point size at the same scale, without caps.
    Image scaledTo(Size size) const;
    // The picture's shape in one colour: every pixel takes the colour at the pixel's own
    // opacity (an icon recoloured to read on another background). Same size, scale and caps.
    Image filledWith(const Color& color) const;
    // The picture turned over for another background, its shapes kept: each pixel takes a
    // colour between `forDarkest` and `forLightest` by where its lightness lies between the
    // darkest and lightest of the picture's opaque pixels, at the pixel's own opacity. One of a
    // single lightness takes `forDarkest` throughout. Same size, scale and caps.
    Image mappedByLightness(const Color& forDarkest, const Color& forLightest) const;

    enum class Filter { Fast, Good, Best };
    // The pixels resampled to width x height with the filter. Copies are kept per picture in a
    // cache shared by all pictures, so a picture drawn again at the same size is only copied;
    // they go when the picture goes, when the cache is cleared, or least recently used first
    // when it outgrows its limit. Null for a null picture or a size below one pixel.
    SurfaceRef resampled(int pixelWidth, int pixelHeight, Filter filter) const;
    static constexpr size_t kDefaultResampleCacheLimit = 64u << 20;
    static void setResampleCacheLimit(size_t bytes);
    static size_t resampleCacheLimit();
    static size_t resampleCacheBytes();
    // Drops every kept copy (on memory pressure).
    static void clearResampleCache();
    // How many resamples have been made since the process started.
    static uint64_t resampleCount();

    uint32_t pixelAt(int x, int y) const; // premultiplied 0xAARRGGBB; 0 outside
    Color colorAt(int x, int y) const;

    base::Bytes pngData() const;
    // Quality 0..1, as the application passes compression quality.
    base::Bytes jpegData(double quality) const;
    base::ErrorPtr writePng(const std::string& path) const;

    cairo_surface_t* cairoSurface() const { return surfaceNow().get(); }

private:
    // `name` is the file's, for the log of a refused decode.
    static Image decodeAtOwnSize(std::span<const uint8_t> bytes, double scale, const std::string& name);
    static Image decodeFitting(std::span<const uint8_t> bytes, Size maxPixels, double scale,
                               DecodeBudget::Priority priority, const std::string& name,
                               PartialData partial = PartialData::Shown);
    Image(SurfaceRef surface, double scale) : m_surface(std::move(surface)), m_scale(scale) {}

    struct Awaited;
    const SurfaceRef& surfaceNow() const;
    double scaleNow() const;
    std::optional<Size> expectedSizeNow() const;

    SurfaceRef m_surface;
    double m_scale = 1;
    // Set for an awaited picture, whose surface and scale are the awaited state's.
    std::shared_ptr<Awaited> m_awaited;
    EdgeInsets m_caps;
};

} // namespace gfx
