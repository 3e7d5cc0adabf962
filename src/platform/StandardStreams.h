#pragma once

// A program started with standard input, output or error closed (`>&-`) would hand those numbers
// to the next descriptors it opens (a signal pipe, a log file), and then write its results and
// errors into them.
namespace StandardStreams {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Call first thing in main,
// before anything opens a descriptor. Never throws.
void openClosedOnes() noexcept;

} // namespace StandardStreams
