// Reference counting for automation objects: a counted base and the smart pointer that owns
// one reference, so that callers never add or release references by hand.
//
// Threading: the count is atomic; an object may be referenced from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace automation {

class RefCounted {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    void addRef() const noexcept { m_count.fetch_add(1, std::memory_order_relaxed); }
    void release() const noexcept
    {
        if (m_count.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    uint32_t referenceCount() const noexcept { return m_count.load(std::memory_order_acquire); }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    mutable std::atomic<uint32_t> m_count{0};
};

inline void intrusiveAddRef(const RefCounted* object) noexcept { object->addRef(); }
inline void intrusiveRelease(const RefCounted* object) noexcept { object->release(); }

// Owns one reference to a counted object (or nothing).
template <class T>
class Ref final {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    // Takes a new reference to the object.
    explicit Ref(T* object) noexcept : m_object(object)
    {
        if (m_object)
            intrusiveAddRef(m_object);
    }
    Ref(const Ref& other) noexcept : Ref(other.m_object) {}
    Ref(Ref&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    template <class U>
    Ref(const Ref<U>& other) noexcept : Ref(other.get()) {}
    template <class U>
    Ref(Ref<U>&& other) noexcept : m_object(other.detach()) {}
    ~Ref() { reset(); }

    Ref& operator=(Ref other) noexcept
    {
        std::swap(m_object, other.m_object);
        return *this;
    }

    // Takes over a reference that the caller already owns (one handed out by a module).
    static Ref adopt(T* object) noexcept
    {
        Ref result;
        result.m_object = object;
        return result;
    }
    // Gives up the reference without releasing it.
    T* detach() noexcept { return std::exchange(m_object, nullptr); }
    void reset() noexcept
    {
        if (T* object = std::exchange(m_object, nullptr))
            intrusiveRelease(object);
    }

    T* get() const noexcept { return m_object; }
    T* operator->() const noexcept { return m_object; }
    T& operator*() const noexcept { return *m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }
    friend bool operator==(const Ref& left, const Ref& right) noexcept { return left.m_object == right.m_object; }

private:
    T* m_object = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args&&... args)
{
    return Ref<T>(new T(std::forward<Args>(args)...));
}

} // namespace automation
