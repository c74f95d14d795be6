#include "system_root.h"

#include "platform/paths.h"

namespace tolm_test {

TempSystemRoot::TempSystemRoot(std::string_view prefix) : dir_(prefix) {
    platform::set_system_root(dir_.path());
}

TempSystemRoot::~TempSystemRoot() {
    platform::set_system_root({});
}

} // namespace tolm_test
