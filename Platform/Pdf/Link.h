#pragma once
#include "Platform/Graphics/Geometry.h"

#include <string>

namespace pdf {

// Where a link leads: a web address, a page (from 1), or nowhere we follow.
struct LinkTarget {
    enum class Kind { None, Url, Page };
    Kind kind = Kind::None;
    std::string url;
    int page = 0;

    bool operator==(const LinkTarget&) const = default;
    static LinkTarget none() { return {}; }
    static LinkTarget toUrl(std::string url) { return {Kind::Url, std::move(url), 0}; }
    static LinkTarget toPage(int page) { return {Kind::Page, {}, page}; }
};

struct Link {
    gfx::Rect area; // in the coordinates the page was fitted into
    LinkTarget target;
};

} // namespace pdf
