#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/failure.h"

namespace quorvane::platform {

enum class StandardStream { kOutput, kError };

// How failures name the stream.
inline const char* StreamName(StandardStream stream) {
  return stream == StandardStream::kOutput ? "standard output" : "standard error";
}

// What a program sets up once, at the start, before writing text: a Windows console takes the
// escape sequences that redraw a line. On POSIX a pipe whose reader has gone ends the program by
// SIGPIPE, as it ends other tools, once the hidden names are removed (see temporary_names.h);
// where SIGPIPE was ignored when the program started, the write fails instead.
void PrepareTextOutput();

// Whether the stream is a terminal (a console on Windows), where text is shown to a person.
bool IsTerminal(StandardStream stream);

// Whether standard output shows on the same terminal as standard error, so that a line written
// to one shows among the other's.
bool OutputSharesErrorsTerminal();

// Writes all of `text`, UTF-8: as bytes into files and pipes, and on Windows through the
// console's own wide call to a console, so that every character shows. Fails (kWriteOutput)
// naming the stream: "standard output" or "standard error".
Result<> WriteText(StandardStream stream, std::string_view text);

// The program's arguments in UTF-8, the program's name first: on Windows from the wide command
// line, so that any name given arrives whole; elsewhere `argv` as it is.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace quorvane::platform
