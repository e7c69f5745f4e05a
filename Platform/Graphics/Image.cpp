#include "Platform/Graphics/Image.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/DecodeBudget.h"
#include "Platform/Graphics/GifDecode.h"
#include "Platform/Graphics/Resample.h"
#include "Platform/Graphics/RowDecode.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>

#include <jpeglib.h>
#include <jerror.h>
#include <zlib.h>

namespace gfx {

namespace {

// No real picture comes near this; a few bytes of header can declare gigabytes of pixels.
constexpr int64_t kMaxDecodedPixels = 64'000'000;

thread_local DecodeRefusals* t_refusals = nullptr;

// Why a picture is not decoded: logged, or kept for a caller that logs it itself.
void refuse(const char* format, ...) __attribute__((format(printf, 1, 2)));
void refuse(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    // A decode stopped by the application's end is no refusal of the picture.
    if (base::BackgroundWork::isStopping())
        return;
    if (t_refusals)
        t_refusals->note(text);
    else
        base::logf("Image: %s", text);
}

// Exact rounding of c*a/255, so a PNG written (unpremultiplied) and read back gives the same
// premultiplied pixel.
uint32_t premultiply(uint32_t c, uint32_t a)
{
    uint32_t t = c * a + 128;
    return (t + (t >> 8)) >> 8;
}

// The formats whose decoding peak is known (measured, by format, in the tests); any other is
// refused from its first bytes, since what it would hold cannot be bounded beforehand.
enum class Format { Png, Jpeg, Gif, Hdr, Bmp };

std::optional<Format> formatOf(std::span<const uint8_t> bytes)
{
    auto startsWith = [&](std::string_view magic) {
        return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n"))
        return Format::Png;
    if (startsWith("\xff\xd8\xff"))
        return Format::Jpeg;
    if (startsWith("GIF87a") || startsWith("GIF89a"))
        return Format::Gif;
    if (startsWith("#?RADIANCE\n") || startsWith("#?RGBE\n"))
        return Format::Hdr;
    if (startsWith("BM"))
        return Format::Bmp;
    return std::nullopt;
}

// What a picture's header says, before anything is decoded.
struct PictureHeader {
    Format format = Format::Png;
    int width = 0;
    int height = 0;
    int channels = 0;
    bool sixteenBit = false;
    bool palette = false;       // a PNG of indexed colours, expanded before conversion
    bool interlaced = false;    // a PNG in seven passes, each held apart before it is placed
    size_t coefficientBytes = 0; // a progressive JPEG is held whole as coefficients
    std::optional<gifdecode::Layout> gif; // where a GIF's first frame lies on its canvas
    bool jpeg() const { return format == Format::Jpeg; }
    int64_t pixels() const { return static_cast<int64_t>(width) * height; }
};

bool readJpegCoefficients(const uint8_t* data, size_t length, size_t* coefficientBytes);
cairo_surface_t* decodeJpegScaled(const uint8_t* data, size_t length, int scaleEighths, bool* dataEnded);

// What a GIF's first picture is: whole (the blocks before it and its own data run to their
// ends), and whether its data gives any pixel at all. Only that picture is drawn, over a clear
// screen where it does not reach (a frame trimmed to its content, or an animation's first frame
// of a part); one cut short, or one of no pixels, would draw a transparent area, not the
// default picture.
struct GifFirstFrame {
    bool complete = false;
    bool hasPixels = false;
};

// Whether the LZW codes in the sub-blocks from `at` give a pixel: the first code that is no
// clear is no end. The codes keep their first width until one gives a pixel.
bool gifCodesGivePixels(std::span<const uint8_t> bytes, size_t at, int minimumCodeSize)
{
    if (minimumCodeSize < 0 || minimumCodeSize > 12)
        return false;
    const uint32_t clear = 1u << minimumCodeSize;
    const int width = minimumCodeSize + 1;
    uint32_t bits = 0;
    int count = 0;
    while (at < bytes.size()) {
        size_t size = bytes[at++];
        if (size == 0)
            return false;
        for (size_t end = std::min(bytes.size(), at + size); at < end; ++at) {
            bits |= uint32_t(bytes[at]) << count;
            count += 8;
            for (; count >= width; count -= width, bits >>= width) {
                uint32_t code = bits & ((1u << width) - 1);
                if (code != clear)
                    return code != clear + 1;
            }
        }
    }
    return false;
}

GifFirstFrame gifFirstFrame(std::span<const uint8_t> bytes)
{
    GifFirstFrame first;
    size_t at = 13;
    if (bytes.size() < at)
        return first;
    auto tableSize = [](uint8_t flags) { return (flags & 0x80) ? size_t(3) << ((flags & 7) + 1) : size_t(0); };
    at += tableSize(bytes[10]);
    // Sub-blocks up to the empty one; false when the data ends first.
    auto skipBlocks = [&] {
        while (at < bytes.size()) {
            uint8_t size = bytes[at++];
            if (size == 0)
                return true;
            at += size;
        }
        return false;
    };
    // Extensions (a label, then sub-blocks) up to the first block of another kind.
    while (at < bytes.size() && bytes[at] == 0x21) {
        at += 2;
        if (!skipBlocks())
            return first;
    }
    // The picture: its descriptor, colours, code size and data.
    if (at + 10 > bytes.size() || bytes[at] != 0x2C)
        return first;
    at += 10 + tableSize(bytes[at + 9]);
    if (at >= bytes.size())
        return first;
    const int codeSize = bytes[at++];
    first.hasPixels = gifCodesGivePixels(bytes, at, codeSize);
    first.complete = skipBlocks();
    return first;
}

const char* formatName(Format format)
{
    switch (format) {
    case Format::Png: return "PNG";
    case Format::Jpeg: return "JPEG";
    case Format::Gif: return "GIF";
    case Format::Hdr: return "HDR";
    case Format::Bmp: return "BMP";
    }
    return "picture";
}

void refuseUnreadHeader(Format format, std::span<const uint8_t> bytes);

std::optional<PictureHeader> readHeader(std::span<const uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX)) {
        refuse("a picture of %zu bytes is not decoded", bytes.size());
        return std::nullopt;
    }
    auto format = formatOf(bytes);
    if (!format) {
        refuse("a picture of a format whose decoding cost is not known is not decoded");
        return std::nullopt;
    }
    PictureHeader header;
    header.format = *format;
    auto length = static_cast<int>(bytes.size());
    if (!stbi_info_from_memory(bytes.data(), length, &header.width, &header.height, &header.channels)
        || header.width <= 0 || header.height <= 0) {
        refuseUnreadHeader(header.format, bytes);
        return std::nullopt;
    }
    header.sixteenBit = stbi_is_16_bit_from_memory(bytes.data(), length) != 0;
    // The image header chunk comes first, at a fixed place.
    if (header.format == Format::Png && bytes.size() >= 29) {
        header.palette = bytes[25] == 3;
        header.interlaced = bytes[28] != 0;
    }
    if (header.jpeg() && !readJpegCoefficients(bytes.data(), bytes.size(), &header.coefficientBytes))
        return std::nullopt;
    if (header.format == Format::Gif) {
        GifFirstFrame first = gifFirstFrame(bytes);
        if (!first.complete) {
            refuse("a GIF whose picture data ends early is not decoded");
            return std::nullopt;
        }
        if (!first.hasPixels) {
            refuse("a GIF of %d x %d whose first frame carries no pixels is not decoded", header.width, header.height);
            return std::nullopt;
        }
        header.gif = gifdecode::layout(bytes);
        if (header.gif) {
            header.gif->canvasWidth = header.width;
            header.gif->canvasHeight = header.height;
        }
    }
    return header;
}

bool withinPictureLimit(const PictureHeader& header)
{
    if (header.pixels() <= kMaxDecodedPixels)
        return true;
    refuse("a picture of %d x %d pixels is above the budget of %lld pixels and is not decoded",
               header.width, header.height, static_cast<long long>(kMaxDecodedPixels));
    return false;
}

// What a whole decode holds at its peak, by format: the decoder's own planes, rows or
// intermediate buffers beside the RGBA result (which then becomes the picture's surface), and
// the encoded bytes.
size_t wholeDecodeCost(const PictureHeader& header, size_t encodedBytes)
{
    auto pixels = static_cast<size_t>(header.pixels());
    size_t channels = static_cast<size_t>(std::max(header.channels, 1));
    size_t perPixel = 4 + channels;
    switch (header.format) {
    case Format::Hdr:
        // Four floats a pixel, then the 8-bit copy made from them.
        perPixel = 16 + 4;
        break;
    case Format::Png:
        if (header.sixteenBit)
            perPixel = 12 + 2 * channels;
        else
            // Indexed colours: the indices, their expansion and the RGBA result at once.
            perPixel = 4 + channels + (header.palette ? 1 : 0);
        // Each pass is held apart before it is placed in the whole.
        if (header.interlaced)
            perPixel += channels * (header.sixteenBit ? 2 : 1);
        break;
    case Format::Jpeg:
        return pixels * perPixel + header.coefficientBytes + encodedBytes;
    case Format::Gif:
        // The first frame's colour indices and the canvas it is drawn on.
        if (header.gif)
            return gifdecode::cost(*header.gif, header.width, header.height) + encodedBytes;
        break;
    case Format::Bmp:
        break;
    }
    return pixels * perPixel + encodedBytes;
}

const cairo_user_data_key_t kDecodedPixelsKey {};

// The decoder's RGBA buffer turned, in place, into premultiplied native ARGB32 and handed to a
// surface that frees it: the pixels are never held twice.
SurfaceRef surfaceOverRgba(stbi_uc* rgba, int width, int height)
{
    auto* pixel = reinterpret_cast<uint32_t*>(rgba);
    size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) {
        // Each row begins with a look at the application's end, which stops the decode.
        if (i % static_cast<size_t>(width) == 0 && base::BackgroundWork::isStopping()) {
            stbi_image_free(rgba);
            return {};
        }
        const uint8_t* src = rgba + i * 4;
        uint32_t a = src[3];
        pixel[i] = a << 24 | premultiply(src[0], a) << 16 | premultiply(src[1], a) << 8 | premultiply(src[2], a);
    }
    int stride = width * 4;
    if (cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width) != stride) {
        stbi_image_free(rgba);
        return {};
    }
    SurfaceRef surface(cairo_image_surface_create_for_data(rgba, CAIRO_FORMAT_ARGB32, width, height, stride));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS
        || cairo_surface_set_user_data(surface.get(), &kDecodedPixelsKey, rgba, stbi_image_free)
            != CAIRO_STATUS_SUCCESS) {
        stbi_image_free(rgba);
        return {};
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// A whole decode; the caller holds the budget for it.
SurfaceRef decodeWhole(std::span<const uint8_t> bytes, const PictureHeader& header)
{
    if (header.format == Format::Gif)
        return gifdecode::decode(bytes, header.width, header.height, header.width, header.height);
    int width = 0, height = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                                          &channels, 4);
    if (!rgba && formatOf(bytes) == Format::Jpeg) {
        // That reader wants the closing marker, which some writers leave out; the JPEG decoder
        // reads such a file whole. A file whose picture data is cut off stays refused.
        bool dataEnded = false;
        SurfaceRef surface(decodeJpegScaled(bytes.data(), bytes.size(), 8, &dataEnded));
        return dataEnded ? SurfaceRef() : surface;
    }
    if (!rgba)
        return {};
    if (width <= 0 || height <= 0) {
        stbi_image_free(rgba);
        return {};
    }
    return surfaceOverRgba(rgba, width, height);
}

// --- JPEG at a reduced scale -----------------------------------------------------------------

struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    // The first output row not yet read when the decoder had to make up picture data the file
    // does not hold (its scan cut off); -1 while the data holds.
    long dataEndedAt = -1;
};

[[noreturn]] void jpegExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}

void jpegQuiet(j_common_ptr) {}

// Warnings are not shown; the one that picture data is missing is kept with the row it came at.
// The end of the file alone is no such sign: a file that lacks only its closing marker warns
// of it too, once every scan it holds is read.
void jpegNoteEnd(j_common_ptr info, int level)
{
    auto* failure = reinterpret_cast<JpegFailure*>(info->err);
    if (level == -1 && info->err->msg_code == JWRN_HIT_MARKER && failure->dataEndedAt < 0 && info->is_decompressor)
        failure->dataEndedAt = static_cast<long>(reinterpret_cast<j_decompress_ptr>(info)->output_scanline);
}

struct JpegPlan {
    int width = 0;
    int height = 0;
    bool convertible = false; // a colour space the decoder turns into BGRA itself
    size_t coefficientBytes = 0; // a progressive picture is held whole as coefficients
    bool arithmetic = false;     // its data arithmetic-coded
    char problem[JMSG_LENGTH_MAX] = {}; // why its header could not be read
};

// Only C objects live in the frames below: a failure leaves them by longjmp.
bool readJpegPlan(const uint8_t* data, size_t length, JpegPlan* plan)
{
    jpeg_decompress_struct info;
    JpegFailure failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jpegExit;
    failure.manager.output_message = jpegQuiet;
    if (setjmp(failure.jump)) {
        failure.manager.format_message(reinterpret_cast<j_common_ptr>(&info), plan->problem);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(length));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(plan->problem, sizeof plan->problem, "no picture in it");
        jpeg_destroy_decompress(&info);
        return false;
    }
    plan->arithmetic = info.arith_code;
    plan->width = static_cast<int>(info.image_width);
    plan->height = static_cast<int>(info.image_height);
    J_COLOR_SPACE space = info.jpeg_color_space;
    plan->convertible = space == JCS_GRAYSCALE || space == JCS_YCbCr || space == JCS_RGB;
    if (info.progressive_mode) {
        int maxH = 1, maxV = 1;
        for (int c = 0; c < info.num_components; ++c) {
            maxH = std::max(maxH, info.comp_info[c].h_samp_factor);
            maxV = std::max(maxV, info.comp_info[c].v_samp_factor);
        }
        size_t bytes = 0;
        for (int c = 0; c < info.num_components; ++c) {
            size_t columns = (static_cast<size_t>(plan->width) * info.comp_info[c].h_samp_factor + maxH * 8 - 1) / (maxH * 8);
            size_t rows = (static_cast<size_t>(plan->height) * info.comp_info[c].v_samp_factor + maxV * 8 - 1) / (maxV * 8);
            // Whole MCUs, 64 coefficients of two bytes per block.
            bytes += (columns + info.comp_info[c].h_samp_factor) * (rows + info.comp_info[c].v_samp_factor) * 128;
        }
        plan->coefficientBytes = bytes;
    }
    jpeg_destroy_decompress(&info);
    return true;
}

bool readJpegCoefficients(const uint8_t* data, size_t length, size_t* coefficientBytes)
{
    JpegPlan plan;
    if (!readJpegPlan(data, length, &plan)) {
        refuse("a JPEG whose header cannot be read (%s) is not decoded", plan.problem);
        return false;
    }
    *coefficientBytes = plan.coefficientBytes;
    return true;
}

// Why a header of a known format gives no size to decode at.
void refuseUnreadHeader(Format format, std::span<const uint8_t> bytes)
{
    JpegPlan plan;
    if (format == Format::Jpeg && readJpegPlan(bytes.data(), bytes.size(), &plan) && plan.arithmetic)
        refuse("a JPEG of %d x %d whose data is arithmetic-coded is not decoded", plan.width, plan.height);
    else if (format == Format::Jpeg && plan.problem[0])
        refuse("a JPEG whose header cannot be read (%s) is not decoded", plan.problem);
    else
        refuse("a %s whose header cannot be read, or gives a size that cannot be decoded, is not decoded",
               formatName(format));
}

// Decodes at scaleEighths/8 straight into a new ARGB32 surface; null on any failure.
// `dataEnded`, when given, is told whether picture data was missing (the scan cut off); a file
// that lacks only its closing marker is whole.
cairo_surface_t* decodeJpegScaled(const uint8_t* data, size_t length, int scaleEighths, bool* dataEnded)
{
    jpeg_decompress_struct info;
    JpegFailure failure;
    cairo_surface_t* volatile surface = nullptr;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jpegExit;
    failure.manager.output_message = jpegQuiet;
    failure.manager.emit_message = jpegNoteEnd;
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&info);
        if (surface)
            cairo_surface_destroy(surface);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(length));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    info.scale_num = static_cast<unsigned int>(scaleEighths);
    info.scale_denom = 8;
    // Cairo's ARGB32 is a native-endian word: B, G, R, A in memory on a little-endian machine.
    // Ink (CMYK, or YCCK the decoder turns into it) is read as it is and made into colour below,
    // as the whole decode makes it.
    const bool ink = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = ink ? JCS_CMYK : std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    jpeg_start_decompress(&info);
    auto width = static_cast<int>(info.output_width);
    auto height = static_cast<int>(info.output_height);
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || info.output_components != 4) {
        jpeg_abort_decompress(&info);
        jpeg_destroy_decompress(&info);
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    uint8_t* pixels = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    while (info.output_scanline < info.output_height && !base::BackgroundWork::isStopping()) {
        JSAMPROW row = pixels + static_cast<size_t>(info.output_scanline) * stride;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
        if (ink) {
            // Four samples a pixel become one pixel in place; each colour is its ink times black.
            for (JDIMENSION x = 0; x < info.output_width; ++x) {
                const uint8_t* sample = row + size_t(x) * 4;
                uint32_t k = sample[3];
                uint32_t pixel = 0xff000000u | premultiply(sample[0], k) << 16 | premultiply(sample[1], k) << 8
                    | premultiply(sample[2], k);
                std::memcpy(row + size_t(x) * 4, &pixel, 4);
            }
        }
    }
    bool whole = info.output_scanline == info.output_height;
    // A picture decoded as it is read (one sequential scan) whose data ran out: the decoder
    // fills the rows it never reached with grey. They are left clear, so what lies under the
    // picture shows there, as a page shows its paper.
    long reached = !jpeg_has_multiple_scans(&info) && failure.dataEndedAt >= 0 ? failure.dataEndedAt : height;
    if (whole)
        jpeg_finish_decompress(&info);
    else
        jpeg_abort_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (!whole) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    if (dataEnded)
        *dataEnded = failure.dataEndedAt >= 0;
    if (reached < height)
        std::memset(pixels + static_cast<size_t>(reached) * stride, 0, static_cast<size_t>(height - reached) * stride);
    cairo_surface_mark_dirty(surface);
    return surface;
}

bool readFile(const std::string& path, base::Bytes& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void appendToBytes(void* context, void* data, int size)
{
    auto* out = static_cast<base::Bytes*>(context);
    auto* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

cairo_status_t writeToBytes(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<base::Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

// The main thread decodes only for the screen it draws.
DecodeBudget::Priority priorityOnThisThread(DecodeBudget::Priority asked)
{
    return base::RunLoop::isMainThread() ? DecodeBudget::Priority::Screen : asked;
}

const char* formatName(const PictureHeader& header)
{
    return header.format == Format::Png && header.sixteenBit ? "16-bit PNG" : formatName(header.format);
}

// A header that reads well over data that does not (a checksum that fails, data cut short).
Image refuseUndecoded(const PictureHeader& header, const std::string& name, const char* what = "cannot be decoded")
{
    refuse("%s%s%s (a %d x %d %s) is refused: its picture data %s", name.empty() ? "" : "\"",
           name.empty() ? "a picture" : name.c_str(), name.empty() ? "" : "\"", header.width, header.height,
           formatName(header), what);
    return Image();
}

// A decode that would hold more than the whole budget is not made at all: nothing could keep
// the process inside its bound while it runs.
bool withinBudget(const PictureHeader& header, size_t cost, const std::string& name)
{
    size_t limit = DecodeBudget::shared().limit();
    if (cost <= limit)
        return true;
    refuse("%s%s%s (a %d x %d %s) is refused: its decode would hold %zu MB, over the %zu MB budget",
               name.empty() ? "" : "\"", name.c_str(), name.empty() ? "a picture" : "\"", header.width, header.height,
               formatName(header), cost >> 20, limit >> 20);
    return false;
}

// A whole decode that waits its turn in the budget first.
SurfaceRef decodeWholeBudgeted(std::span<const uint8_t> bytes, const PictureHeader& header,
                               DecodeBudget::Priority priority)
{
    auto room = DecodeBudget::shared().reserve(wholeDecodeCost(header, bytes.size()), priorityOnThisThread(priority));
    return room ? decodeWhole(bytes, header) : SurfaceRef();
}

// A deep picture read row by row at the size shown, if the row decoders take it.
bool rowDecoded(const PictureHeader& header, std::span<const uint8_t> bytes)
{
    return (header.format == Format::Png && header.sixteenBit) || header.format == Format::Hdr
        ? rowdecode::accepts(bytes).has_value()
        : false;
}

size_t rowDecodeCost(std::span<const uint8_t> bytes, int width, int height)
{
    return rowdecode::cost(bytes, width, height) + bytes.size();
}

} // namespace

DecodeRefusals::DecodeRefusals() : m_outer(t_refusals)
{
    t_refusals = this;
}

DecodeRefusals::~DecodeRefusals()
{
    t_refusals = m_outer;
}

DecodeRefusals* DecodeRefusals::current()
{
    return t_refusals;
}

void DecodeRefusals::note(std::string reason)
{
    if (m_reason.empty())
        m_reason = std::move(reason);
}

namespace {

// Whether this is the first refusal of the file at `path`, as it is now (size and time written),
// for that reason.
bool firstRefusalOfFile(const std::string& path, const std::string& reason)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    auto written = std::filesystem::last_write_time(path, ec);
    std::string key = path + "|" + std::to_string(size) + "|" + std::to_string(written.time_since_epoch().count())
        + "|" + reason;
    static std::mutex lock;
    static auto* refused = new std::set<std::string>();
    std::lock_guard guard(lock);
    return refused->insert(std::move(key)).second;
}

// A picture file decoded by `decode`: a refusal of it is logged once, by name, however many
// screens decode it again (a product's picture in the catalogue, on its page, in the viewer),
// or goes to the caller's own refusals.
template <typename Decode>
Image decodeFileRefusedOnce(const std::string& path, Decode decode)
{
    DecodeRefusals* outer = DecodeRefusals::current();
    std::string reason;
    Image image;
    {
        DecodeRefusals refusals;
        image = decode();
        reason = refusals.reason();
    }
    if (reason.empty())
        return image;
    if (outer) {
        outer->note(reason);
    } else if (firstRefusalOfFile(path, reason)) {
        std::string quoted = "\"" + std::filesystem::path(path).filename().string() + "\"";
        base::logf("Image: %s%s", reason.find(quoted) == std::string::npos ? (quoted + ": ").c_str() : "",
                   reason.c_str());
    }
    return image;
}

} // namespace

Image Image::fromFile(const std::string& path)
{
    base::Bytes bytes;
    if (!readFile(path, bytes))
        return {};
    return decodeFileRefusedOnce(path, [&] {
        return decodeAtOwnSize(bytes, scaleForPath(path), std::filesystem::path(path).filename().string());
    });
}

Image Image::fromBytes(std::span<const uint8_t> bytes, double scale)
{
    return decodeAtOwnSize(bytes, scale, {});
}

Image Image::decodeAtOwnSize(std::span<const uint8_t> bytes, double scale, const std::string& name)
{
    scale = scale > 0 ? scale : 1;
    auto header = readHeader(bytes);
    if (!header || !withinPictureLimit(*header))
        return {};
    if (rowDecoded(*header, bytes)) {
        size_t cost = rowDecodeCost(bytes, header->width, header->height);
        if (!withinBudget(*header, cost, name))
            return {};
        auto room = DecodeBudget::shared().reserve(cost, priorityOnThisThread(DecodeBudget::Priority::Background));
        if (!room)
            return {};
        SurfaceRef surface = rowdecode::decode(bytes, header->width, header->height);
        return surface ? Image(std::move(surface), scale) : refuseUndecoded(*header, name);
    }
    if (!withinBudget(*header, wholeDecodeCost(*header, bytes.size()), name))
        return {};
    SurfaceRef surface = decodeWholeBudgeted(bytes, *header, DecodeBudget::Priority::Background);
    return surface ? Image(std::move(surface), scale) : refuseUndecoded(*header, name);
}

Image Image::fromFileFitting(const std::string& path, Size maxPixels, DecodeBudget::Priority priority)
{
    base::Bytes bytes;
    if (!readFile(path, bytes))
        return {};
    return decodeFileRefusedOnce(path, [&] {
        return decodeFitting(bytes, maxPixels, scaleForPath(path), priority, std::filesystem::path(path).filename().string());
    });
}

namespace {

// How a picture is decoded to fit a size, and what the decode holds at its peak.
struct FitPlan {
    bool whole = true;   // no smaller than the box: decoded as it is
    int width = 0;       // the fitted size
    int height = 0;
    int eighths = 0;     // a JPEG decoded by the decoder at eighths/8, or 0
    bool rows = false;   // read row by row straight into the fitted size
    bool gif = false;    // a GIF's first frame averaged straight into the fitted size
    size_t cost = 0;
};

FitPlan planFit(const PictureHeader& header, std::span<const uint8_t> bytes, Size maxPixels)
{
    FitPlan plan;
    double factor = std::min({1.0, maxPixels.width / header.width, maxPixels.height / header.height});
    Size fitted = Image::fittedSize({double(header.width), double(header.height)}, maxPixels);
    plan.width = static_cast<int>(fitted.width);
    plan.height = static_cast<int>(fitted.height);
    if (rowDecoded(header, bytes)) {
        plan.whole = false;
        plan.rows = true;
        plan.cost = rowDecodeCost(bytes, plan.width, plan.height);
        return plan;
    }
    if (!(factor < 1)) {
        plan.cost = wholeDecodeCost(header, bytes.size());
        return plan;
    }
    plan.whole = false;
    if (header.gif) {
        plan.gif = true;
        plan.cost = gifdecode::cost(*header.gif, plan.width, plan.height) + bytes.size();
        return plan;
    }
    size_t target = static_cast<size_t>(plan.width) * plan.height * 4;
    JpegPlan jpeg;
    if (header.jpeg() && readJpegPlan(bytes.data(), bytes.size(), &jpeg) && jpeg.convertible
        && jpeg.width == header.width && jpeg.height == header.height) {
        // The smallest eighth whose result still covers the wanted size.
        plan.eighths = std::clamp(static_cast<int>(std::ceil(factor * 8 - 1e-9)), 1, 8);
        size_t decodedWidth = (static_cast<size_t>(jpeg.width) * plan.eighths + 7) / 8;
        size_t decodedHeight = (static_cast<size_t>(jpeg.height) * plan.eighths + 7) / 8;
        plan.cost = decodedWidth * decodedHeight * 4 + jpeg.coefficientBytes + target + bytes.size();
        return plan;
    }
    // Whole, then scaled down at once.
    plan.cost = wholeDecodeCost(header, bytes.size()) + target;
    return plan;
}

} // namespace

std::optional<size_t> Image::decodeCostFitting(std::span<const uint8_t> bytes, Size maxPixels)
{
    auto header = readHeader(bytes);
    if (!header || !withinPictureLimit(*header))
        return std::nullopt;
    return planFit(*header, bytes, maxPixels).cost;
}

Image Image::fromBytesFitting(std::span<const uint8_t> bytes, Size maxPixels, double scale,
                              DecodeBudget::Priority priority, PartialData partial)
{
    return decodeFitting(bytes, maxPixels, scale, priority, {}, partial);
}

Image Image::decodeFitting(std::span<const uint8_t> bytes, Size maxPixels, double scale,
                           DecodeBudget::Priority priority, const std::string& name, PartialData partial)
{
    scale = scale > 0 ? scale : 1;
    priority = priorityOnThisThread(priority);
    auto header = readHeader(bytes);
    if (!header || !withinPictureLimit(*header))
        return {};
    FitPlan plan = planFit(*header, bytes, maxPixels);
    if (!withinBudget(*header, plan.cost, name))
        return {};
    auto undecoded = [&](const char* what = "cannot be decoded") { return refuseUndecoded(*header, name, what); };
    if (plan.rows) {
        auto room = DecodeBudget::shared().reserve(plan.cost, priority);
        if (!room)
            return {};
        SurfaceRef surface = rowdecode::decode(bytes, plan.width, plan.height);
        return surface ? Image(std::move(surface), scale) : undecoded();
    }
    if (plan.whole) {
        SurfaceRef surface = decodeWholeBudgeted(bytes, *header, priority);
        return surface ? Image(std::move(surface), scale) : undecoded();
    }
    if (plan.gif) {
        auto room = DecodeBudget::shared().reserve(plan.cost, priority);
        if (!room)
            return {};
        SurfaceRef surface = gifdecode::decode(bytes, header->width, header->height, plan.width, plan.height);
        return surface ? Image(std::move(surface), scale) : undecoded();
    }
    if (plan.eighths > 0) {
        auto room = DecodeBudget::shared().reserve(plan.cost, priority);
        if (!room)
            return {};
        bool dataEnded = false;
        SurfaceRef decoded(decodeJpegScaled(bytes.data(), bytes.size(), plan.eighths, &dataEnded));
        if (decoded && dataEnded && partial == PartialData::Refused)
            return undecoded("ends before the picture does");
        if (decoded) {
            if (cairo_image_surface_get_width(decoded.get()) == plan.width
                && cairo_image_surface_get_height(decoded.get()) == plan.height)
                return Image(std::move(decoded), scale);
            SurfaceRef fitted = resampledSurface(decoded.get(), plan.width, plan.height);
            return fitted ? Image(std::move(fitted), scale) : Image();
        }
    }
    // Whole, then scaled down at once; the whole one goes before this returns.
    size_t target = static_cast<size_t>(plan.width) * plan.height * 4;
    auto room = DecodeBudget::shared().reserve(wholeDecodeCost(*header, bytes.size()) + target, priority);
    if (!room)
        return {};
    SurfaceRef whole = decodeWhole(bytes, *header);
    if (!whole)
        return undecoded();
    SurfaceRef fitted = resampledSurface(whole.get(), plan.width, plan.height);
    return fitted ? Image(std::move(fitted), scale) : Image();
}

SurfaceRef Image::jpegReduced(std::span<const uint8_t> bytes, int eighths)
{
    auto header = readHeader(bytes);
    JpegPlan jpeg;
    if (eighths < 1 || eighths > 8 || !header || !header->jpeg() || !withinPictureLimit(*header)
        || !readJpegPlan(bytes.data(), bytes.size(), &jpeg) || !jpeg.convertible || jpeg.width <= 0 || jpeg.height <= 0)
        return {};
    size_t width = (static_cast<size_t>(jpeg.width) * eighths + 7) / 8;
    size_t height = (static_cast<size_t>(jpeg.height) * eighths + 7) / 8;
    auto room = DecodeBudget::shared().reserve(width * height * 4 + jpeg.coefficientBytes,
                                               priorityOnThisThread(DecodeBudget::Priority::Background));
    return room ? SurfaceRef(decodeJpegScaled(bytes.data(), bytes.size(), eighths, nullptr)) : SurfaceRef();
}

Image Image::fromSurface(cairo_surface_t* source, double scale)
{
    if (!source || cairo_surface_get_type(source) != CAIRO_SURFACE_TYPE_IMAGE
        || cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32)
        return {};
    cairo_surface_flush(source);
    int width = cairo_image_surface_get_width(source);
    int height = cairo_image_surface_get_height(source);
    SurfaceRef copy(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(copy.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    int srcStride = cairo_image_surface_get_stride(source);
    int dstStride = cairo_image_surface_get_stride(copy.get());
    const uint8_t* src = cairo_image_surface_get_data(source);
    uint8_t* dst = cairo_image_surface_get_data(copy.get());
    for (int y = 0; y < height; ++y)
        std::memcpy(dst + static_cast<size_t>(y) * dstStride, src + static_cast<size_t>(y) * srcStride,
                    static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(copy.get());
    return Image(std::move(copy), scale > 0 ? scale : 1);
}

std::optional<Size> Image::sizeOfFile(const std::string& path)
{
    int width = 0, height = 0, channels = 0;
    if (!stbi_info(path.c_str(), &width, &height, &channels))
        return std::nullopt;
    double scale = scaleForPath(path);
    return Size{width / scale, height / scale};
}

std::optional<Size> Image::sizeOfBytes(std::span<const uint8_t> bytes, double scale)
{
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX) || scale <= 0)
        return std::nullopt;
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels))
        return std::nullopt;
    return Size{width / scale, height / scale};
}

Size Image::fittedSize(Size pixels, Size maxPixels)
{
    double factor = std::min({1.0, maxPixels.width / pixels.width, maxPixels.height / pixels.height});
    if (!(factor < 1))
        return pixels;
    return {std::max(1.0, std::round(pixels.width * factor)), std::max(1.0, std::round(pixels.height * factor))};
}

double Image::scaleForPath(const std::string& path)
{
    std::string stem = std::filesystem::path(path).stem().string();
    // Device suffixes ("~ipad") follow the scale marker.
    if (auto tilde = stem.find('~'); tilde != std::string::npos)
        stem.erase(tilde);
    return stem.ends_with("@2x") ? 2 : 1;
}

struct Image::Awaited {
    SurfaceRef standIn;
    double standInScale = 1;
    EdgeInsets standInCaps;
    std::optional<Size> expected;
    bool madeStandIn = false; // a transparent pixel made for no stand-in, gone if nothing comes
    // Written once, before `arrived`, and never again.
    SurfaceRef picture;
    double pictureScale = 1;
    std::atomic<bool> arrived{false};
    std::atomic<bool> taken{false};
};

std::pair<Image, Image::Arrival> Image::awaited(const Image& standIn, std::optional<Size> expectedSize)
{
    auto state = std::make_shared<Awaited>();
    state->standIn = standIn.surfaceNow();
    state->standInScale = standIn.scaleNow();
    state->standInCaps = standIn.m_caps;
    if (expectedSize && expectedSize->width > 0 && expectedSize->height > 0) {
        state->expected = expectedSize;
        // Measured but invisible until the picture comes: views keep their room for it.
        if (!state->standIn) {
            state->standIn = SurfaceRef(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
            state->standInScale = 1;
            state->madeStandIn = true;
        }
    }
    Image image;
    image.m_awaited = state;
    image.m_caps = standIn.m_caps;
    Arrival arrive = [state](const Image& picture) {
        if (state->taken.exchange(true) || !picture)
            return;
        state->picture = picture.surfaceNow();
        state->pictureScale = picture.scaleNow();
        // The stand-in stays held: a surface handed out before the swap stays valid.
        state->arrived.store(true, std::memory_order_release);
    };
    return {std::move(image), std::move(arrive)};
}

bool Image::awaitsPicture() const
{
    return m_awaited && !m_awaited->arrived.load(std::memory_order_acquire);
}

std::optional<Size> Image::expectedSizeNow() const
{
    // `taken` without `arrived`: nothing came, so the stand-in measures as itself again.
    if (!m_awaited || !m_awaited->expected || m_awaited->arrived.load(std::memory_order_acquire)
        || m_awaited->taken.load(std::memory_order_acquire))
        return std::nullopt;
    return m_awaited->expected;
}

Image Image::standInMeasuredOtherwise() const
{
    auto expected = expectedSizeNow();
    if (!expected || !m_awaited->standIn)
        return {};
    Image standIn(m_awaited->standIn, m_awaited->standInScale);
    if (standIn.size() == *expected)
        return {};
    standIn.m_caps = m_awaited->standInCaps;
    return standIn;
}

const SurfaceRef& Image::surfaceNow() const
{
    if (!m_awaited)
        return m_surface;
    if (m_awaited->arrived.load(std::memory_order_acquire))
        return m_awaited->picture;
    // Nothing came for a picture that had no stand-in of its own: null, as it was asked.
    if (m_awaited->madeStandIn && m_awaited->taken.load(std::memory_order_acquire))
        return m_awaited->picture;
    return m_awaited->standIn;
}

double Image::scaleNow() const
{
    if (!m_awaited)
        return m_scale;
    return m_awaited->arrived.load(std::memory_order_acquire) ? m_awaited->pictureScale : m_awaited->standInScale;
}

int Image::pixelWidth() const
{
    return surfaceNow() ? cairo_image_surface_get_width(surfaceNow().get()) : 0;
}

int Image::pixelHeight() const
{
    return surfaceNow() ? cairo_image_surface_get_height(surfaceNow().get()) : 0;
}

Size Image::size() const
{
    if (auto expected = expectedSizeNow())
        return *expected;
    return {pixelWidth() / scaleNow(), pixelHeight() / scaleNow()};
}

Image Image::stretchable(EdgeInsets caps) const
{
    Image copy = *this;
    copy.m_caps = caps;
    return copy;
}

Image Image::stretchable(int leftCapWidth, int topCapHeight) const
{
    Size s = size();
    EdgeInsets caps;
    if (leftCapWidth > 0) {
        caps.left = leftCapWidth;
        caps.right = std::max(0.0, s.width - leftCapWidth - 1);
    }
    if (topCapHeight > 0) {
        caps.top = topCapHeight;
        caps.bottom = std::max(0.0, s.height - topCapHeight - 1);
    }
    return stretchable(caps);
}

Image Image::cropped(const Rect& pixelRect) const
{
    if (isNull())
        return {};
    Rect wanted = pixelRect.standardized();
    int x0 = std::max(0, static_cast<int>(std::lround(wanted.minX())));
    int y0 = std::max(0, static_cast<int>(std::lround(wanted.minY())));
    int x1 = std::min(pixelWidth(), static_cast<int>(std::lround(wanted.maxX())));
    int y1 = std::min(pixelHeight(), static_cast<int>(std::lround(wanted.maxY())));
    if (x1 <= x0 || y1 <= y0)
        return {};
    SurfaceRef part(cairo_surface_create_for_rectangle(surfaceNow().get(), x0, y0, x1 - x0, y1 - y0));
    SurfaceRef copy(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0));
    CairoContextRef cr(cairo_create(copy.get()));
    cairo_set_source_surface(cr.get(), part.get(), 0, 0);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(copy.get());
    return Image(std::move(copy), scaleNow());
}

Image Image::scaledTo(Size target) const
{
    if (isNull())
        return {};
    int width = std::max(1, static_cast<int>(std::lround(target.width * scaleNow())));
    int height = std::max(1, static_cast<int>(std::lround(target.height * scaleNow())));
    SurfaceRef surface = resampledSurface(surfaceNow().get(), width, height);
    if (!surface)
        return {};
    return Image(std::move(surface), scaleNow());
}

Image Image::filledWith(const Color& color) const
{
    if (isNull())
        return {};
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth(), pixelHeight()));
    CairoContextRef cr(cairo_create(surface.get()));
    cairo_set_source_rgba(cr.get(), color.r, color.g, color.b, color.a);
    cairo_mask_surface(cr.get(), surfaceNow().get(), 0, 0);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface.get());
    Image filled(std::move(surface), scaleNow());
    filled.m_caps = m_caps;
    return filled;
}

Image Image::mappedByLightness(const Color& forDarkest, const Color& forLightest) const
{
    if (isNull())
        return {};
    int width = pixelWidth(), height = pixelHeight();
    auto lightness = [](const Color& c) { return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b; };
    double darkest = 1, lightest = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (Color c = colorAt(x, y); c.a >= 0.5) {
                darkest = std::min(darkest, lightness(c));
                lightest = std::max(lightest, lightness(c));
            }
    // Too even to tell strokes from fills: the whole shape in one colour.
    double range = lightest - darkest > 0.1 ? lightest - darkest : 0;
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface.get());
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            Color c = colorAt(x, y);
            double t = range > 0 ? std::clamp((lightness(c) - darkest) / range, 0.0, 1.0) : 0;
            auto channel = [&](double dark, double light) {
                return static_cast<uint32_t>(std::lround((dark + (light - dark) * t) * c.a * 255));
            };
            row[x] = static_cast<uint32_t>(std::lround(c.a * 255)) << 24 | channel(forDarkest.r, forLightest.r) << 16
                | channel(forDarkest.g, forLightest.g) << 8 | channel(forDarkest.b, forLightest.b);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    Image mapped(std::move(surface), scaleNow());
    mapped.m_caps = m_caps;
    return mapped;
}

uint32_t Image::pixelAt(int x, int y) const
{
    if (isNull() || x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight())
        return 0;
    cairo_surface_flush(surfaceNow().get());
    const uint8_t* data = cairo_image_surface_get_data(surfaceNow().get());
    int stride = cairo_image_surface_get_stride(surfaceNow().get());
    return reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
}

Color Image::colorAt(int x, int y) const
{
    return Color::fromPremultipliedArgb(pixelAt(x, y));
}

namespace {

void putBigEndian(base::Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void putChunk(base::Bytes& out, const char* type, const uint8_t* data, size_t size)
{
    putBigEndian(out, static_cast<uint32_t>(size));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size)
        out.insert(out.end(), data, data + size);
    uLong crc = crc32(0, out.data() + start, static_cast<uInt>(size + 4));
    putBigEndian(out, static_cast<uint32_t>(crc));
}

// A PNG of 32-bit pixels written for speed: each row filtered by its left neighbour and the
// fastest deflate level. Thumbnails are written as a page shows; the smallest file is not the aim.
// Alpha is unpremultiplied as reading premultiplies it, so the pixels come back the same.
bool writeQuickPng(cairo_surface_t* surface, base::Bytes& out)
{
    cairo_format_t format = cairo_image_surface_get_format(surface);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24)
        return false;
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    if (!data || width <= 0 || height <= 0)
        return false;
    auto pixel = [&](int x, int y) { return reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride))[x]; };
    bool opaque = format == CAIRO_FORMAT_RGB24;
    if (!opaque) {
        opaque = true;
        for (int y = 0; y < height && opaque; ++y)
            for (int x = 0; x < width && opaque; ++x)
                opaque = (pixel(x, y) >> 24) == 0xff;
    }
    int channels = opaque ? 3 : 4;
    size_t rowBytes = size_t(width) * size_t(channels);
    std::vector<uint8_t> raw((rowBytes + 1) * size_t(height));
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixel(x, y);
            uint32_t a = opaque ? 255 : p >> 24;
            uint32_t c[3] = {(p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff};
            uint8_t* at = &row[size_t(x) * size_t(channels)];
            for (int i = 0; i < 3; ++i)
                at[i] = static_cast<uint8_t>(a == 255 ? c[i] : a == 0 ? 0 : (c[i] * 255 + a / 2) / a);
            if (!opaque)
                at[3] = static_cast<uint8_t>(a);
        }
        uint8_t* filtered = &raw[size_t(y) * (rowBytes + 1)];
        filtered[0] = 1; // Sub
        for (size_t i = 0; i < rowBytes; ++i)
            filtered[i + 1] = static_cast<uint8_t>(row[i] - (i >= size_t(channels) ? row[i - size_t(channels)] : 0));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
        return false;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    out.assign(signature, signature + 8);
    uint8_t header[13];
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<uint8_t>(uint32_t(width) >> (24 - 8 * i));
        header[4 + i] = static_cast<uint8_t>(uint32_t(height) >> (24 - 8 * i));
    }
    header[8] = 8;                 // bits a channel
    header[9] = opaque ? 2 : 6;    // RGB or RGBA
    header[10] = header[11] = header[12] = 0;
    putChunk(out, "IHDR", header, sizeof header);
    putChunk(out, "IDAT", packed.data(), packedSize);
    putChunk(out, "IEND", nullptr, 0);
    return true;
}

} // namespace

base::Bytes Image::pngData() const
{
    base::Bytes out;
    if (isNull())
        return out;
    SurfaceRef surface = surfaceNow();
    if (writeQuickPng(surface.get(), out))
        return out;
    out.clear();
    if (cairo_surface_write_to_png_stream(surface.get(), writeToBytes, &out) != CAIRO_STATUS_SUCCESS)
        out.clear();
    return out;
}

base::Bytes Image::jpegData(double quality) const
{
    base::Bytes out;
    if (isNull())
        return out;
    int width = pixelWidth();
    int height = pixelHeight();
    // JPEG has no alpha: composite over white, as a flattened photo would look.
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixelAt(x, y);
            uint32_t a = p >> 24;
            uint8_t* dst = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            dst[0] = static_cast<uint8_t>(((p >> 16) & 0xff) + 255 - a);
            dst[1] = static_cast<uint8_t>(((p >> 8) & 0xff) + 255 - a);
            dst[2] = static_cast<uint8_t>((p & 0xff) + 255 - a);
        }
    }
    int q = std::clamp(static_cast<int>(std::lround(quality * 100)), 1, 100);
    if (!stbi_write_jpg_to_func(appendToBytes, &out, width, height, 3, rgb.data(), q))
        out.clear();
    return out;
}

base::ErrorPtr Image::writePng(const std::string& path) const
{
    if (isNull())
        return base::Error::make("gfx.Image", 1, "no image to write");
    cairo_status_t status = cairo_surface_write_to_png(surfaceNow().get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
        return base::Error::make("gfx.Image", static_cast<int>(status),
                                 "cannot write " + path + ": " + cairo_status_to_string(status));
    return nullptr;
}

} // namespace gfx
