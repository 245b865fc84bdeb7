// photarion-run: see Runner.h and --help.
#include <iostream>

#include "Runner.h"

int main(int argc, char** argv) { return Tools::RunMain(argc, argv, std::cout, std::cerr); }
