// Helpers of the tools' tests: a scratch directory per test and the runner run in process.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Runner.h"

namespace ToolsTest {

// A fresh directory for the running test, removed afterwards. The process id keeps two build
// trees testing at once apart.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "photarion-tools-" + std::to_string(getpid()) + "-" +
                           info->test_suite_name() + "-" + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        fPath = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(fPath);
        std::filesystem::create_directories(fPath);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(fPath, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::string file(const std::string& name) const { return (fPath / name).string(); }

  private:
    std::filesystem::path fPath;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline RunResult run(const std::vector<std::string>& words) {
    std::ostringstream out, err;
    RunResult r;
    r.status = Tools::RunMain(words, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

inline std::ostream& operator<<(std::ostream& s, const RunResult& r) {
    return s << "status " << r.status << "\nstdout:\n" << r.out << "stderr:\n" << r.err;
}

}  // namespace ToolsTest
