#include "driver_state.h"

namespace tarvovfw {

CopyState& copy() {
    static CopyState state;
    return state;
}

} // namespace tarvovfw
