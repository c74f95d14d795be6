// Marks a function as one of the library's exports (C linkage, visible); everything else stays
// hidden, and the link's export list admits only the library's functions.
#pragma once

#define TARVO_EXPORT extern "C" __attribute__((visibility("default")))
