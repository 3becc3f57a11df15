#pragma once
// Data set-up as the program runs it: the progress window Form_Setup over the
// set-up logic of the data layer.

namespace cn {

// SET_UP(cleanup): runs set-up (or, with cleanup, the data clean-up) with its
// progress window; returns when the window has closed.
void SET_UP(bool cleanup);

} // namespace cn
