#pragma once
// Between RunLoop and the threads that run loops of their own; not for other callers.

namespace base {

class RunLoop;

// While the calling thread's loop runs one turn (its ready tasks and due timers), what the
// thread posts to `target` is held and reaches `target` together at the turn's end, with one
// wake-up: a turn that ends several transfers wakes the main thread once, not once for each.
// Nothing: posts go at once.
void holdPostsForTurn(RunLoop* target);

} // namespace base
