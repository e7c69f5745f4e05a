#pragma once
// What the picture-drawing tools share: the folder the pictures go to (the first argument,
// else Resources/) and saving each one, counting those that could not be written.
#include "Platform/Graphics/Context.h"

#include <cstdio>
#include <functional>
#include <string>

namespace picturetool {

inline std::string& folder()
{
    static std::string name = "Resources";
    return name;
}

inline int& failures()
{
    static int count = 0;
    return count;
}

inline void save(const std::string& name, gfx::Size size, const std::function<void(gfx::Context&)>& draw)
{
    auto ctx = gfx::Context::createBitmap(size, 1);
    draw(*ctx);
    std::string path = folder() + "/" + name;
    if (auto error = ctx->savePng(path)) {
        std::fprintf(stderr, "%s: not written\n", path.c_str());
        ++failures();
    }
}

} // namespace picturetool
