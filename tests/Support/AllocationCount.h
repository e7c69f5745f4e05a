#pragma once

// Heap allocations made by the calling thread since it started: what a piece of work costs,
// counted rather than timed. Linking this in replaces the program's operator new.
namespace testsupport {

long allocationsOnThisThread();

} // namespace testsupport
