// A move-only owner of one handle; Traits names the handle type, its empty values and its close
// call:
//   struct Traits {
//       using Handle = ...;
//       static bool empty(Handle h);     // true for the values that need no closing
//       static Handle none();            // the value an empty owner holds
//       static void close(Handle h);
//   };
#pragma once

#include <utility>

namespace win32_owners {

template <typename Traits> class Owner {
public:
    using Handle = typename Traits::Handle;

    Owner() = default;
    explicit Owner(Handle h) : h_(h) {}
    ~Owner() { reset(); }
    Owner(Owner&& other) noexcept : h_(other.release()) {}
    Owner& operator=(Owner&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    Handle get() const { return h_; }
    bool valid() const { return !Traits::empty(h_); }
    explicit operator bool() const { return valid(); }
    // Closes the handle held and lends the slot to a call that opens a new one.
    Handle* out() {
        reset();
        return &h_;
    }
    Handle release() { return std::exchange(h_, Traits::none()); }
    void reset(Handle h = Traits::none()) {
        const Handle old = std::exchange(h_, h);
        if (!Traits::empty(old)) {
            Traits::close(old);
        }
    }

private:
    Handle h_ = Traits::none();
};

} // namespace win32_owners
