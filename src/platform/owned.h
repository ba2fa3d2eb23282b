#pragma once

#include <utility>

namespace platform {

// A handle of the system's that is released when its owner goes: Traits says what an empty
// handle is and how one is released.
template <typename Traits> class Owned {
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Empty())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Traits::Empty());
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Empty(); }
    // Releases the handle now; false when the system says that failed.
    bool Reset() {
        const bool released = handle_ == Traits::Empty() || Traits::Release(handle_);
        handle_ = Traits::Empty();
        return released;
    }

private:
    Handle handle_ = Traits::Empty();
};

} // namespace platform
