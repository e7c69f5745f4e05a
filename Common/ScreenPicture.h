#pragma once
#include "Platform/Graphics/Image.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// Pictures a screen is waiting for: decoded off the main thread, at the size they are shown,
// ahead of background decodes (a sync's thumbnails) in the process's decode budget. The main
// thread shows a placeholder meanwhile and never waits for a decode.
namespace ScreenPicture {

// Decodes the file to fit `points` at the screen's scale, on the calling thread (never the
// main one); null for no path or a file that cannot be read or is over the limits.
gfx::Image decode(const std::optional<std::string>& path, gfx::Size points);

// Decodes on the screen pictures' own workers and hands the picture (null as above) to `done`
// on the main thread. Requests run in the order made, two at a time. One whose `owner` has
// gone by its turn (a page flipped past) is dropped without decoding, and `done` is not called.
// A small picture a page shows until its own arrives (a thumbnail) is `Urgent`: it starts
// before every ordinary request still waiting.
enum class Urgency { Ordinary, Urgent };
void load(std::optional<std::string> path, gfx::Size points, std::weak_ptr<const void> owner,
          std::function<void(gfx::Image)> done, Urgency urgency = Urgency::Ordinary);

// The same for any decode made by `decode` on those workers (a picture whose size or budget
// the caller works out itself).
void loadWith(std::function<gfx::Image()> decode, std::weak_ptr<const void> owner,
              std::function<void(gfx::Image)> done, Urgency urgency = Urgency::Ordinary);

// Requests not yet answered (decoding or waiting for the main thread).
int pending();

} // namespace ScreenPicture
