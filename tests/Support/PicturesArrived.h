#pragma once
// Waits for the pictures screens asked for off the main thread (skin pictures among them).
#include "Common/ScreenPicture.h"
#include "Platform/Base/RunLoop.h"

namespace testsupport {

// Runs the main loop until every picture asked for has arrived; false after `timeout`.
inline bool picturesArrived(double timeout = 120)
{
    return base::RunLoop::main().runUntil([] { return ScreenPicture::pending() == 0; }, timeout);
}

} // namespace testsupport
