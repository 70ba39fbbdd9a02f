#pragma once

#include <string>

namespace bench {

// One line about the machine and its load, printed at the head of every
// benchmark's output: timing figures mean little without it.
std::string MachineLine();

// Output goes out line by line, so that a log shows how far a benchmark
// got even when it is cut short.
void LineBufferedOutput();

// Arguments of the form --name N; `fallback` when absent or unreadable.
int IntArgument(int argc, char** argv, const std::string& name, int fallback);
bool FlagArgument(int argc, char** argv, const std::string& name);

}  // namespace bench
