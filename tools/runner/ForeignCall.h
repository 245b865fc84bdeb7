// Calling a plain C function whose parameter and result types are known only at run time, through
// libffi: the runner calls a module's registered entries this way, typed by the signature the
// module registered.
#pragma once

#include <stdexcept>
#include <vector>

#include "ForeignValue.h"

namespace Tools {

class ForeignCallError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Calls `function` with the given arguments and answers its result of type `result`. Throws
// ForeignCallError for a null function, a Void argument or when libffi cannot prepare the call.
ForeignValue callForeign(void* function, ForeignType result,
                         const std::vector<ForeignValue>& arguments);

}  // namespace Tools
