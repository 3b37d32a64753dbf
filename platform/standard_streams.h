#pragma once

namespace quorvane::platform {

// Puts /dev/null on each of descriptors 0, 1 and 2 that is closed, so that no file opened later
// takes its number and receives what is meant for the terminal. It is opened the wrong way round
// (standard input for writing, the others for reading), so that using the stream still fails as
// it would have while closed. Programs call it first thing in main(). Returns false when one
// could not be opened; the program should then end.
bool OpenClosedStandardStreams();

}  // namespace quorvane::platform
