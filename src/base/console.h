// Console lines of the run. The banner and the two fatal-exception lines are narrow text, every
// other line is wide text; both go to standard output in the order written, the wide lines as
// UTF-8 bytes. Each line ends with a newline and a flush, so the lines survive an abrupt end.
#pragma once

#include <string>
#include <string_view>

// Writes one narrow line.
void WriteLine(std::string_view line);

// Writes one wide line, encoded as UTF-8.
void WriteLine(std::wstring_view line);

// Writes one wide line, and gives the copy (the run log) `copyLine` in its place: for a line
// whose console text shows local time while the log keeps every time in UTC.
void WriteLine(std::wstring_view line, std::string_view copyLine);

// Sends every later line to `sink` instead of standard output (nullptr restores standard
// output); returns the sink that was in place. Lets tests read what a run printed.
std::string* SetConsoleSink(std::string* sink);

// Receives a copy of every console line as printed: the run log.
class ConsoleCopy {
  public:
    virtual ~ConsoleCopy() = default;
    virtual void WriteLine(std::string_view line) noexcept = 0;
};

// Copies every later line, as printed, to `copy` as well (nullptr stops it); returns the copy
// that was in place. The one place where console lines reach the run log.
ConsoleCopy* SetConsoleCopy(ConsoleCopy* copy);
