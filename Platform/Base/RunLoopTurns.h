#pragma once
// Between RunLoop and the threads that run loops of their own; not for other callers.

namespace base {

class RunLoop;

// While the calling thread's loop runs, what the thread posts to `target` during one turn is
// held and reaches `target` together when the turn ends, with one wake-up: transfers that
// finish together wake the main thread once, not once for each. Nothing: posts go at once.
void holdPostsForTurn(RunLoop* target);

} // namespace base
