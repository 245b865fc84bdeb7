// photarion-run as a library: the whole program behind one call, so that tests can run it in
// process and read what it printed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace Tools {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // the module failed, or a file could not be read or written
constexpr int kExitUsage = 2;    // the command line was wrong

// Runs the program with argv[1..argc-1] as its command line. The module's results text and the
// function's result go to `out`, diagnostics ("error: ...", "time: ...") to `err`. Answers the
// exit status.
int RunMain(int argc, char** argv, std::ostream& out, std::ostream& err);
int RunMain(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace Tools
