// Kernel objects behind kernel handles (sections, keys): ObReferenceObjectByHandle hands out
// their body.
#pragma once

#include "platform/handles.h"

namespace tolm_nt {

class KernelHandleObject : public platform::KernelObject {
public:
    // The pointer drivers see for this object.
    virtual void* body() { return this; }
};

} // namespace tolm_nt
