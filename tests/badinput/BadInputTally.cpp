#include "BadInputTally.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>

namespace BadInput {
namespace {

std::map<std::string, int>& Counts() {
    static std::map<std::string, int> counts;
    return counts;
}

class Report : public ::testing::Environment {
  public:
    void TearDown() override {
        int total = 0;
        for (const auto& [group, count] : Counts()) total += count;
        std::cout << "bad inputs tried: " << total;
        const char* separator = " (";
        for (const auto& [group, count] : Counts()) {
            std::cout << separator << group << " " << count;
            separator = ", ";
        }
        std::cout << (total ? ")" : "") << "\n";
    }
};

[[maybe_unused]] ::testing::Environment* const sReport =
    ::testing::AddGlobalTestEnvironment(new Report);

}  // namespace

void Count(const std::string& group, int cases) { Counts()[group] += cases; }

bool Verbose() {
    static const bool verbose = std::getenv("BADINPUT_VERBOSE") != nullptr;
    return verbose;
}

}  // namespace BadInput
