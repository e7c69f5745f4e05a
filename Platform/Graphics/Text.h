#pragma once
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"

#include <string_view>
#include <utility>

namespace gfx {

// How text that does not fit is broken into lines, and what the last visible line shows.
enum class LineBreakMode { WordWrap, CharWrap, Clip, TruncateHead, TruncateTail, TruncateMiddle };

enum class TextAlignment { Left, Center, Right };

// The size of the text on one line, unwrapped. Sizes are rounded up to whole points.
Size sizeOfText(std::string_view text, const Font& font);

// Where the ink of the text on one line, unwrapped, starts and ends from the left of its
// measured box (exact, not rounded): a line drawn through it ends with the last glyph.
std::pair<double, double> inkSpanOfText(std::string_view text, const Font& font);

// From the top of the text's first line, as drawText places it, to the line's baseline. Text
// that falls back to another family (Chinese, say) may sit lower under the same font.
double baselineOfText(std::string_view text, const Font& font);

// The size of the text wrapped to constraint.width, keeping at most the lines that fit
// constraint.height and numberOfLines (0: no limit); at least one line is kept.
Size sizeOfText(std::string_view text, const Font& font, Size constraint, LineBreakMode mode,
                int numberOfLines = 0);

} // namespace gfx
