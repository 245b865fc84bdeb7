// photarion-host-functions: prints docs/host-functions.md as the stand-in host would have it,
// writes it (--output FILE) or checks a copy of it (--check FILE).
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "Host.h"
#include "HostFunctionsPage.h"
#include "Menus.h"

namespace {

constexpr const char* kUsage =
    "usage: photarion-host-functions [--output FILE | --check FILE]\n"
    "Prints the page of the catalogue rows the stand-in host provides; --output writes it to "
    "FILE,\n"
    "--check fails unless FILE holds it.\n";

// The first line (1-based) where the two texts differ.
std::size_t FirstDifference(const std::string& a, const std::string& b) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
        if (a[i] == '\n') ++line;
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string option = argc > 1 ? argv[1] : "";
    if (argc == 2 && (option == "--help" || option == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (argc != 1 && !(argc == 3 && (option == "--output" || option == "--check"))) {
        std::cerr << kUsage;
        return 2;
    }
    // The host as the runner and the validator set it up: its own functions and the menus'.
    StandIn::Host host;
    StandIn::Menus menus(host);
    const std::string page = Tools::HostFunctionsPage(host);
    if (argc == 1) {
        std::cout << page;
        return 0;
    }
    const std::string path = argv[2];
    if (option == "--output") {
        std::ofstream file(path, std::ios::binary);
        file << page;
        if (!file.flush()) {
            std::cerr << "error: cannot write " << path << "\n";
            return 1;
        }
        return 0;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        std::cerr << "error: cannot read " << path << "\n";
        return 1;
    }
    if (text.str() != page) {
        std::cerr << "error: " << path << " is not the page of what the stand-in host provides "
                  << "(first difference in line " << FirstDifference(text.str(), page)
                  << "); regenerate it with: " << Tools::kHostFunctionsPageCommand << "\n";
        return 1;
    }
    std::cout << path << " is up to date\n";
    return 0;
}
