// Chooses the version of this executable's host before anything links the framework to it: the
// framework picks its image-locking generation once, on first demand.
#include "LinkedHost.h"

namespace {

[[maybe_unused]] const bool sVersionChosen =
    (TestSupport::SetHostVersionForProcess(IMAGE_TEST_HOST_VERSION), true);

}  // namespace
