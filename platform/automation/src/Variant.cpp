// Variant conversions with the automation layer's failure codes.
#include "automation/Variant.h"

#include "automation/Dispatch.h"
#include "automation/Error.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace automation {
namespace {

// Nested slots deeper than this are taken for a cycle.
constexpr int kMaxReferenceDepth = 16;

[[noreturn]] void typeMismatch(const char* wanted)
{
    throw AutomationError(DISP_E_TYPEMISMATCH, std::string("Type mismatch: the value cannot be converted to ") + wanted + ".");
}

[[noreturn]] void overflow()
{
    throw AutomationError(DISP_E_OVERFLOW, "Overflow: the number does not fit.");
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoreCase(std::string_view left, std::string_view right)
{
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        const auto a = static_cast<unsigned char>(left[i]);
        const auto b = static_cast<unsigned char>(right[i]);
        if (std::tolower(a) != std::tolower(b))
            return false;
    }
    return true;
}

// The whole text as a decimal number (sign, digits, optional fraction). "nan" and "inf",
// which the standard parser also accepts, are no numbers here.
double parseNumber(std::string_view text, const char* wanted)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        typeMismatch(wanted);
    return number;
}

// Rounds half to even, as automation conversions of fractions do.
int64_t roundToInteger(double number)
{
    if (!std::isfinite(number) || std::fabs(number) > 9.0e18)
        overflow();
    return static_cast<int64_t>(std::nearbyint(number));
}

std::string formatDouble(double number)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

} // namespace

Variant Variant::reference(Variant& target)
{
    Variant slot;
    slot.m_value = &target;
    return slot;
}

const Variant& Variant::value() const
{
    const Variant* current = this;
    for (int depth = 0; current->type() == VarType::Reference; ++depth) {
        if (depth == kMaxReferenceDepth)
            throw AutomationError(DISP_E_BADVARTYPE, "The by-reference slots form a cycle.");
        current = std::get<Variant*>(current->m_value);
    }
    return *current;
}

Variant& Variant::value()
{
    return const_cast<Variant&>(static_cast<const Variant*>(this)->value());
}

std::string Variant::toString() const
{
    const Variant& target = value();
    switch (target.type()) {
    case VarType::Empty: return {};
    case VarType::Bool: return std::get<bool>(target.m_value) ? "True" : "False";
    case VarType::Int16: return std::to_string(std::get<int16_t>(target.m_value));
    case VarType::Int32: return std::to_string(std::get<int32_t>(target.m_value));
    case VarType::Float: return formatDouble(static_cast<double>(std::get<float>(target.m_value)));
    case VarType::Double: return formatDouble(std::get<double>(target.m_value));
    case VarType::String: return std::get<std::string>(target.m_value);
    case VarType::Dispatch:
    case VarType::Reference: break;
    }
    typeMismatch("text");
}

bool Variant::toBool() const
{
    const Variant& target = value();
    switch (target.type()) {
    case VarType::Empty: return false;
    case VarType::Bool: return std::get<bool>(target.m_value);
    case VarType::String: {
        const std::string_view text = trimmed(std::get<std::string>(target.m_value));
        if (equalsIgnoreCase(text, "true"))
            return true;
        if (equalsIgnoreCase(text, "false"))
            return false;
        return parseNumber(text, "a bool") != 0;
    }
    case VarType::Dispatch:
    case VarType::Reference: typeMismatch("a bool");
    default: return target.toDouble() != 0;
    }
}

int32_t Variant::toInt32() const
{
    const int64_t rounded = roundToInteger(numberValue("a 32-bit integer"));
    if (rounded < std::numeric_limits<int32_t>::min() || rounded > std::numeric_limits<int32_t>::max())
        overflow();
    return static_cast<int32_t>(rounded);
}

int16_t Variant::toInt16() const
{
    const int32_t number = toInt32();
    if (number < std::numeric_limits<int16_t>::min() || number > std::numeric_limits<int16_t>::max())
        overflow();
    return static_cast<int16_t>(number);
}

double Variant::toDouble() const
{
    return numberValue("a number");
}

double Variant::numberValue(const char* wanted) const
{
    const Variant& target = value();
    switch (target.type()) {
    case VarType::Empty: return 0;
    case VarType::Bool: return std::get<bool>(target.m_value) ? -1 : 0;
    case VarType::Int16: return std::get<int16_t>(target.m_value);
    case VarType::Int32: return std::get<int32_t>(target.m_value);
    case VarType::Float: return static_cast<double>(std::get<float>(target.m_value));
    case VarType::Double: return std::get<double>(target.m_value);
    case VarType::String: return parseNumber(std::get<std::string>(target.m_value), wanted);
    case VarType::Dispatch:
    case VarType::Reference: break;
    }
    typeMismatch(wanted);
}

DispatchPtr Variant::toDispatch() const
{
    const Variant& target = value();
    if (target.type() == VarType::Empty)
        return nullptr;
    if (target.type() != VarType::Dispatch)
        typeMismatch("an object");
    return std::get<DispatchPtr>(target.m_value);
}

void Variant::assign(const Variant& newValue)
{
    const Variant copy = newValue.value();
    value() = copy;
}

} // namespace automation
