// The registry of named objects of this process and the lock files that make names
// system-wide (see platform/named_objects.h).
#pragma once

#include "platform/sync.h"

#include <functional>
#include <memory>
#include <string>

namespace platform::detail {

// Held by every named object: releases the name (its entry and its lock file) when the object
// is destroyed.
class NameHold {
public:
    explicit NameHold(std::string key) : key_(std::move(key)) {}
    NameHold(const NameHold&) = delete;
    NameHold& operator=(const NameHold&) = delete;
    ~NameHold();

private:
    std::string key_;
};

enum class NameMode { open, create, create_exclusive };

struct NameLookup {
    std::shared_ptr<WaitableObject> object; // null on failure (error says why)
    bool existed = false;                   // the name was held before (here or elsewhere)
    DWORD error = 0;
};

// Finds the object called `name`, or makes it. `kind` ("event", "mutex") must match the kind
// the name was made with. `record` is what a new name's lock file records (the kind and its
// options, first word the kind). `make` builds the local object: with `fresh` true for a
// name nobody held, else from the record of the process that made it; it receives the hold
// to keep.
using MakeNamed = std::function<std::shared_ptr<WaitableObject>(
    const std::string& record, bool fresh, std::unique_ptr<NameHold> hold)>;
NameLookup find_or_make_named(const char* name, const std::string& kind, const std::string& record,
                              NameMode mode, const MakeNamed& make);

bool name_is_held(const char* name);

} // namespace platform::detail
