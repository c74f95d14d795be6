// System-wide names of events and mutexes.
//
// A name is a lock file <system root>/objects/<name, escaped>. Every process that holds an
// object of that name keeps the file open with a shared flock; creating and opening take a
// guard lock on <system root>/objects/.guard, under which "nobody holds it" is tested as an
// exclusive flock that succeeds. The kernel drops a process's locks when it ends, however it
// ends, so a name is freed with its last holder. The file records the kind of the object
// ("event" or "mutex"); the files stay behind, their presence means nothing.
#pragma once

#include "win32/types.h"

namespace platform {

// Creates a new named event, or fails with null and ERROR_ALREADY_EXISTS when any process
// (this one included) holds the name, atomically across processes: of several processes that
// race, exactly one gets the event. For a single-instance check.
HANDLE create_event_exclusive(const char* name, bool manual_reset, bool initially_set);

// Whether any process holds an object of this name (for tests and diagnostics).
bool named_object_exists(const char* name);

} // namespace platform
