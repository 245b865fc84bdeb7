// photarion-run's command line: usage errors, --help, --validate, or a session with the module.
#include "Runner.h"

#include "CommandLine.h"
#include "Session.h"
#include "Validator.h"

namespace Tools {

int RunMain(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    Options options;
    try {
        options = parseCommandLine(words);
    } catch (const UsageError& e) {
        err << "error: " << e.what() << "\nrun 'photarion-run --help' for the usage\n";
        return kExitUsage;
    }
    if (options.help) {
        out << usageText();
        return kExitSuccess;
    }
    if (options.validate) {
        ValidationOptions validation;
        validation.module = options.module;
        if (options.hostVersion) validation.hostVersions = {*options.hostVersion};
        return RunValidation(validation, out, err);
    }
    return RunSession(options, out, err);
}

int RunMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.emplace_back(argv[i]);
    return RunMain(words, out, err);
}

}  // namespace Tools
