#include "access_rights.h"

namespace station {

void Status2Refresh(const BaseState& base, AccessState& access) {
    access.AccessRights = LoadRightsFile(base);
}

bool QuerryStatus(const BaseState& base, AccessState& access, int n) {
    if (n < 1 || n > kRightCount) {
        return false;
    }
    switch (access.AccessStatus) {
    case kAccessFull:
        return true;
    case kAccessLimited:
        Status2Refresh(base, access);
        return access.AccessRights[static_cast<std::size_t>(n - 1)];
    default:
        return false;
    }
}

} // namespace station
