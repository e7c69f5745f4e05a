#pragma once
#include <string>

namespace gfx {

// A font by the platform's names ("Helvetica-Bold", "ArialMT", the system font), resolved to
// the families installed here: Liberation Sans (DejaVu Sans for Verdana, Liberation Serif for
// Didot and Times), with WenQuanYi Micro Hei for Chinese.
class Font {
public:
    Font(const std::string& name, double pointSize);

    static Font systemFont(double pointSize);
    static Font boldSystemFont(double pointSize);
    static Font italicSystemFont(double pointSize);

    const std::string& name() const { return m_name; }
    // The installed families tried in order, as a fontconfig family list.
    const std::string& families() const { return m_families; }
    double pointSize() const { return m_pointSize; }
    bool isBold() const { return m_bold; }
    bool isItalic() const { return m_italic; }
    Font withSize(double pointSize) const;

    // Distance between baselines of consecutive lines.
    double lineHeight() const;

    bool operator==(const Font&) const = default;

private:
    Font() = default;

    std::string m_name;
    std::string m_families;
    double m_pointSize = 0;
    bool m_bold = false;
    bool m_italic = false;
};

} // namespace gfx
