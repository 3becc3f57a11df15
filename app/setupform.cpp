#include "app/setupform.h"

namespace cn {

// Replaced by the progress window and the set-up run.
void SET_UP(bool) {}

} // namespace cn
