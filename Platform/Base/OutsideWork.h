#pragma once

namespace base {

// Work under way on other threads that reports back when it ends (operations of worker queues,
// which carry the HTTP requests too, and tasks of the lasting worker threads). While any is in
// flight, a main-loop wait on the manual clock that has nothing else to do waits for it in real
// time, however slow the machine, instead of giving up after a short idle spell.
void beginOutsideWork();
void endOutsideWork();
int outsideWorkCount();

} // namespace base
