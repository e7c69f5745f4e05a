#pragma once
// Between RunLoop and the threads that run loops of their own; not for other callers.

namespace base {

class RunLoop;

// While the calling thread's loop runs, what the thread posts to `target` is held and reaches
// `target` together a couple of milliseconds after the first of them, with one wake-up: a run
// of transfers wakes the main thread once, not once for each. Nothing: posts go at once.
void holdPostsForTurn(RunLoop* target);

} // namespace base
