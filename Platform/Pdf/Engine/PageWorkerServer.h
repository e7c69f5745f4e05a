#pragma once

namespace pdf {

// The worker process's loop: answers drawing requests on its socket until the other end closes,
// then ends the process at once. Limits are set by the worker's own start-up.
[[noreturn]] void runPageWorker();

} // namespace pdf
