// The message box drawn before any window exists: the whole message inside the box, above
// its button, in either language, at either pixel scale; a longer message makes a taller box.
#include "Platform/UI/MessageBoxPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

double luminance(const gfx::Color& c)
{
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

bool near(const gfx::Color& a, const gfx::Color& b)
{
    return std::abs(a.r - b.r) < 0.02 && std::abs(a.g - b.g) < 0.02 && std::abs(a.b - b.b) < 0.02;
}

TEST(MessageBoxPicture, TheWholeMessageShowsInsideTheBoxAboveItsButton)
{
    const std::string folder = "/home/someone/.local/share/brivanta";
    const std::string deep = "/srv/exports/field-sales/regional-office-north-east/devices/tablet-0042/brivanta-data";
    struct Case {
        const char* name;
        std::string message;
        std::string button;
    };
    const Case cases[] = {
        {"running_en", "The application is already running with this data folder:\n" + folder, "OK"},
        {"running_cn", "本程序已在运行，正在使用此数据文件夹：\n" + folder, "确定"},
        {"unwritable_en",
         "The application cannot write its data folder, so it stops. Free some space or choose a folder it may "
         "write, then start it again.\n" + deep + "\n" + deep + "/.brivanta-check.tmp: File too large",
         "OK"},
        {"unwritable_cn",
         "本程序无法写入其数据文件夹，因此停止运行。请腾出空间或改用可写入的文件夹，然后重新启动。\n" + deep + "\n" + deep +
             "/.brivanta.lock: Read-only file system",
         "确定"},
    };
    const char* review = std::getenv("BRIVANTA_REVIEW_DIR");
    for (const Case& c : cases) {
        for (double scale : {1.0, 2.0}) {
            SCOPED_TRACE(std::string(c.name) + " at scale " + std::to_string(int(scale)));
            auto box = ui::MessageBoxPicture::render(c.message, c.button, scale);
            ASSERT_EQ(box.image.pixelWidth(), std::lround(ui::MessageBoxPicture::kWidth * scale));
            ASSERT_EQ(box.image.pixelHeight(), std::lround(std::ceil(box.size.height) * scale));
            gfx::Rect whole({0, 0}, box.size);
            EXPECT_TRUE(whole.contains(box.textRect));
            EXPECT_TRUE(whole.contains(box.buttonRect));
            EXPECT_GE(box.buttonRect.y(), box.textRect.maxY());
            // Outside the text and the button, nothing but the box: no line ran past its edge.
            int stray = 0, ink = 0, buttonInk = 0, buttonFill = 0;
            for (int y = 0; y < box.image.pixelHeight(); ++y) {
                for (int x = 0; x < box.image.pixelWidth(); ++x) {
                    gfx::Point p{(x + 0.5) / scale, (y + 0.5) / scale};
                    gfx::Color color = box.image.colorAt(x, y);
                    gfx::Rect text = box.textRect.insetBy(-1, -1);
                    if (box.buttonRect.contains(p)) {
                        buttonFill += near(color, ui::MessageBoxPicture::buttonColor());
                        buttonInk += luminance(color) > 0.8;
                    } else if (text.contains(p)) {
                        ink += luminance(color) < 0.5;
                    } else if (!near(color, ui::MessageBoxPicture::background())) {
                        ++stray;
                    }
                }
            }
            EXPECT_EQ(stray, 0) << "drawn outside the text and the button";
            // Every line of the message has its ink: at least a few dozen dark pixels a line.
            int lines = 0;
            for (char ch : c.message)
                lines += ch == '\n';
            EXPECT_GT(ink, (lines + 1) * 60 * scale * scale);
            EXPECT_GT(buttonFill, box.buttonRect.width() * box.buttonRect.height() * scale * scale / 2);
            EXPECT_GT(buttonInk, 20 * scale * scale) << "the button's word";
            if (review && *review)
                box.image.writePng((std::filesystem::path(review) /
                                    ("message_box_" + std::string(c.name) + "@" + std::to_string(int(scale)) + "x.png"))
                                       .string());
        }
    }
    // The message decides the height: more lines, a taller box, the button kept below them.
    auto one = ui::MessageBoxPicture::render(cases[0].message, "OK");
    auto more = ui::MessageBoxPicture::render(cases[0].message + "\n" + deep + "\n" + deep, "OK");
    EXPECT_GT(more.size.height, one.size.height + 2 * 15);
    EXPECT_GT(more.buttonRect.y(), one.buttonRect.y());
}

} // namespace
