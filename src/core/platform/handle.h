#pragma once

#include <utility>

namespace sw::platform {

// An owned system handle, closed on every way out. `Traits` says what the handle is and how it is
// closed: `Native`, `static Native invalid()`, `static bool valid(Native)` and `static bool close(Native)`.
template <class Traits> class UniqueHandle {
public:
    using Native = typename Traits::Native;

    UniqueHandle() : m_native(Traits::invalid()) {}
    explicit UniqueHandle(Native native) : m_native(native) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_native(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    bool valid() const { return Traits::valid(m_native); }
    Native get() const { return m_native; }
    Native release() { return std::exchange(m_native, Traits::invalid()); }
    // Closes the present handle, if any, and takes `native` in its place.
    void reset(Native native = Traits::invalid()) {
        if (valid()) {
            Traits::close(m_native);
        }
        m_native = native;
    }
    // Closes now, so that a failing close is seen: false when the system reports one.
    bool close() {
        const bool closed = !valid() || Traits::close(m_native);
        m_native = Traits::invalid();
        return closed;
    }

private:
    Native m_native;
};

// A file, a folder or (on POSIX) a socket: a descriptor on POSIX, a HANDLE on Windows.
struct FileTraits {
#ifdef _WIN32
    using Native = void*;
#else
    using Native = int;
#endif
    static Native invalid();
    static bool valid(Native native);
    static bool close(Native native);
};

using FileHandle = UniqueHandle<FileTraits>;

} // namespace sw::platform
