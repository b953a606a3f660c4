// "UWM_FireAddImage-": the capture dialog sends it synchronously to its owner window (the
// control) with the path of the saved image and the dialog's image count, which the receiver
// may change; the receiver sets the result to 0 when it handled the message.
//
// Threading: sent and handled on the UI thread.
#pragma once

#include <controls/RegisteredMessages.h>

#include <QEvent>

#include <cstdint>
#include <string>

namespace dialog {

class AddImageMessage final : public QEvent {
public:
    AddImageMessage(const std::string& path, int32_t& imageCount)
        : QEvent(type()), m_path(path), m_imageCount(imageCount)
    {
    }

    static QEvent::Type type() { return controls::registeredMessage(controls::message::fireAddImage); }

    const std::string& path() const { return m_path; }
    int32_t& imageCount() const { return m_imageCount; }
    // Non-zero until a receiver handled the message.
    long result() const { return m_result; }
    void setResult(long result) { m_result = result; }

private:
    const std::string& m_path;
    int32_t& m_imageCount;
    long m_result = -1;
};

} // namespace dialog
