// The automation value: empty, bool, 16/32-bit integers, float, double, UTF-8 text, a
// dispatch reference, or a by-reference slot that refers to another Variant so that a callee
// can write an out or in/out argument.
//
// Threading: a Variant belongs to one thread at a time.
#pragma once

#include "automation/Ref.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace automation {

class Dispatch;
void intrusiveAddRef(const Dispatch* object) noexcept;
void intrusiveRelease(const Dispatch* object) noexcept;
using DispatchPtr = Ref<Dispatch>;

enum class VarType { Empty, Bool, Int16, Int32, Float, Double, String, Dispatch, Reference };

class Variant final {
public:
    Variant() = default;
    Variant(bool value) : m_value(value) {}
    Variant(int16_t value) : m_value(value) {}
    Variant(int32_t value) : m_value(value) {}
    Variant(float value) : m_value(value) {}
    Variant(double value) : m_value(value) {}
    Variant(std::string value) : m_value(std::move(value)) {}
    Variant(std::string_view value) : m_value(std::string(value)) {}
    Variant(const char* value) : m_value(std::string(value)) {}
    Variant(DispatchPtr value) : m_value(std::move(value)) {}

    // A slot that refers to target; target must outlive every use of the slot.
    static Variant reference(Variant& target);

    // Type of this Variant itself (Reference for a slot).
    VarType type() const { return static_cast<VarType>(m_value.index()); }
    bool isReference() const { return type() == VarType::Reference; }
    // The Variant a slot refers to (followed through nested slots), or this one.
    const Variant& value() const;
    Variant& value();
    // Type of the value after following references.
    VarType valueType() const { return value().type(); }
    bool isEmpty() const { return valueType() == VarType::Empty; }

    // Conversions of the value; DISP_E_TYPEMISMATCH when the value cannot be converted and
    // DISP_E_OVERFLOW when a number does not fit.
    std::string toString() const;
    bool toBool() const;
    int16_t toInt16() const;
    int32_t toInt32() const;
    double toDouble() const;
    // A null pointer for an empty value.
    DispatchPtr toDispatch() const;

    // Stores a value through the slot (or into this Variant when it is no slot). A slot given
    // as the new value is stored as the value it refers to.
    void assign(const Variant& newValue);

private:
    // The value as a number; wanted names the target type in a type mismatch.
    double numberValue(const char* wanted) const;

    std::variant<std::monostate, bool, int16_t, int32_t, float, double, std::string, DispatchPtr, Variant*> m_value;
};

} // namespace automation
