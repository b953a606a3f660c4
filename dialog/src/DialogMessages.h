// The registered messages that the dialog posts to itself from `update`: the message's type
// is the registered type of its name, and the event owns the values it carries (a number and
// a copied text), so nothing it points to can go away before it is handled.
//
// Threading: created on any thread, handled and destroyed on the UI thread.
#pragma once

#include <controls/RegisteredMessages.h>

#include <QEvent>

#include <cstdint>
#include <string>

namespace dialog {

class DialogMessage final : public QEvent {
public:
    DialogMessage(QEvent::Type type, uint32_t value, std::string text);

    uint32_t value() const { return m_value; }
    const std::string& text() const { return m_text; }

private:
    uint32_t m_value;
    std::string m_text;
};

} // namespace dialog
