// How many bad inputs a test program tried, by group. Each case adds itself; the totals are
// printed when the program ends ("bad inputs tried: ..."), so a run of the whole program gives
// the number quoted in the documentation.
#pragma once

#include <string>

namespace BadInput {

void Count(const std::string& group, int cases = 1);

// BADINPUT_VERBOSE set in the environment: every case also prints what it gave.
bool Verbose();

}  // namespace BadInput
