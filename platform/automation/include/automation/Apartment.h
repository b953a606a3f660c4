// Apartment scope: marks where a thread joins the single- or multithreaded apartment. It does
// nothing on this platform; it keeps the threading contract visible in the code.
//
// Threading: one scope per thread, on that thread.
#pragma once

namespace automation {

enum class ApartmentKind { SingleThreaded, MultiThreaded };

class ApartmentScope final {
public:
    explicit ApartmentScope(ApartmentKind kind) noexcept : m_kind(kind) {}
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;
    ~ApartmentScope() = default;

    ApartmentKind kind() const noexcept { return m_kind; }

private:
    ApartmentKind m_kind;
};

} // namespace automation
