// The stored form of a resource list (REG_RESOURCE_LIST): little-endian, packed, the 32-bit
// layout of the record, whatever the in-memory layout.
#pragma once

#include "nt/hal.h"

#include <vector>

namespace tolm_nt {

// 4 bytes count; per full descriptor: interface type, bus number (4 each), version, revision
// (2 each), count (4); per partial descriptor 16 bytes: type, share (1 each), flags (2), then
// start (8) and length (4), or level, vector and affinity (4 each).
std::vector<UCHAR> serialize_resource_list(const CM_RESOURCE_LIST& list);

} // namespace tolm_nt
