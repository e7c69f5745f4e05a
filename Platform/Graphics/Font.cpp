#include "Platform/Graphics/Font.h"

#include "Platform/Graphics/TextLayout.h"

#include <algorithm>
#include <cctype>

namespace gfx {

namespace {

constexpr const char* kSansFamily = "Liberation Sans";
// Chinese text has no glyphs in the Latin families; fontconfig falls back along the list.
constexpr const char* kChineseFamily = "WenQuanYi Micro Hei";
// The wide humanist sans of the platform has its metric kin in DejaVu Sans (whose slanted
// face is its Oblique).
constexpr const char* kWideSansFamily = "DejaVu Sans";
// The engraved capitals face has no installed kin; a wide serif keeps its badge look.
constexpr const char* kEngravedFamily = "Liberation Serif";
// The platform's calligraphic face; an installed script face stands in, the sans when absent.
constexpr const char* kScriptFamily = "Dancing Script";
// The platform's display serifs ("Didot-Italic", "Times-Roman") have their metric kin here.
constexpr const char* kSerifFamily = "Liberation Serif";

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

bool isPlatformSans(const std::string& lowerName)
{
    return lowerName.empty() || lowerName.starts_with("helvetica") || lowerName.starts_with("arial")
        || lowerName.starts_with(".helvetica");
}

} // namespace

Font::Font(const std::string& name, double pointSize) : m_name(name), m_pointSize(pointSize)
{
    std::string key = lower(name);
    std::string family;
    // Only the style part of a name ("-BoldOblique") carries weight and slant; for the
    // platform's sans families the marker may also be glued on ("ArialRoundedMTBold").
    std::string style;
    if (isPlatformSans(key)) {
        family = kSansFamily;
        style = key;
    } else if (key.starts_with("zapfino")) {
        family = std::string(kScriptFamily) + "," + kSansFamily;
    } else {
        size_t dash = name.find('-');
        if (key.starts_with("verdana"))
            family = kWideSansFamily;
        else if (key.starts_with("copperplate"))
            family = kEngravedFamily;
        else if (key.starts_with("didot") || key.starts_with("times"))
            family = kSerifFamily;
        else
            family = name.substr(0, dash);
        style = dash == std::string::npos ? std::string() : key.substr(dash + 1);
    }
    m_bold = style.find("bold") != std::string::npos || style.find("heavy") != std::string::npos
        || style.find("black") != std::string::npos;
    m_italic = style.find("italic") != std::string::npos || style.find("oblique") != std::string::npos;
    m_families = family + "," + kChineseFamily;
}

Font Font::systemFont(double pointSize)
{
    return Font("Helvetica", pointSize);
}

Font Font::boldSystemFont(double pointSize)
{
    return Font("Helvetica-Bold", pointSize);
}

Font Font::italicSystemFont(double pointSize)
{
    return Font("Helvetica-Oblique", pointSize);
}

Font Font::withSize(double pointSize) const
{
    Font copy = *this;
    copy.m_pointSize = pointSize;
    return copy;
}

double Font::lineHeight() const
{
    return TextLayout::lineHeight(*this);
}

} // namespace gfx
