// Writes a skin of very large pictures into a folder, under the names the screens ask for:
// a 16-bit logo, a high-dynamic-range home background, a GIF bottom bar and an RGB top bar.
#include "tests/Support/LargePictures.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER SIDE\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    int side = std::atoi(argv[2]);
    if (side < 1)
        return 2;
    const struct {
        const char* name;
        base::Bytes bytes;
    } pictures[] = {
        {"homelogo.png", largepictures::png(side, 4, 16)},
        {"bg-home.png", largepictures::hdr(side)},
        {"btmbar-bg.png", largepictures::gif(side)},
        {"topbar-bg.png", largepictures::png(side, 3, 8)},
    };
    for (const auto& picture : pictures)
        if (!largepictures::writeFile(folder + "/" + picture.name, picture.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", picture.name);
            return 1;
        }
    return 0;
}
