#include "resource_list.h"

namespace tolm_nt {
namespace {

void put(std::vector<UCHAR>& out, ULONGLONG value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<UCHAR>(value >> (8 * i)));
    }
}

} // namespace

std::vector<UCHAR> serialize_resource_list(const CM_RESOURCE_LIST& list) {
    std::vector<UCHAR> out;
    put(out, list.Count, 4);
    const CM_FULL_RESOURCE_DESCRIPTOR* full = list.List;
    for (ULONG f = 0; f < list.Count; ++f) {
        put(out, static_cast<ULONG>(full->InterfaceType), 4);
        put(out, full->BusNumber, 4);
        const CM_PARTIAL_RESOURCE_LIST& partial = full->PartialResourceList;
        put(out, partial.Version, 2);
        put(out, partial.Revision, 2);
        put(out, partial.Count, 4);
        const CM_PARTIAL_RESOURCE_DESCRIPTOR* d = partial.PartialDescriptors;
        for (ULONG i = 0; i < partial.Count; ++i, ++d) {
            put(out, d->Type, 1);
            put(out, d->ShareDisposition, 1);
            put(out, d->Flags, 2);
            if (d->Type == CmResourceTypeInterrupt) {
                put(out, d->u.Interrupt.Level, 4);
                put(out, d->u.Interrupt.Vector, 4);
                put(out, static_cast<ULONG>(d->u.Interrupt.Affinity), 4);
            } else {
                put(out, static_cast<ULONGLONG>(d->u.Generic.Start.QuadPart), 8);
                put(out, d->u.Generic.Length, 4);
            }
        }
        // The next full descriptor follows the last partial one.
        full = reinterpret_cast<const CM_FULL_RESOURCE_DESCRIPTOR*>(d);
    }
    return out;
}

} // namespace tolm_nt
