// Compiles the layout checks of shell/Layout.h into every build of the framework, whatever the
// target, so that a build for the host's 32-bit platform cannot succeed with a wrong layout.
#include "shell/Layout.h"
