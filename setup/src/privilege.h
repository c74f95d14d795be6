#pragma once

namespace setup {

// Enables (or disables) a privilege of the process token by name: 1 when it took effect, else 0.
int EnableTokenPrivilege(const char* name, bool enable);

} // namespace setup
