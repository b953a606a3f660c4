// The acquisition control's window: its centred status line over the whole area, and the relay
// of the capture dialog's "UWM_FireAddImage-" to the AddImage event.
//
// Threading: UI thread.
#include "control/VeskCaptureCtrl.h"

#include "DownloadFolder.h"
#include "config/LogFile.h"

#include <dialog/AddImageMessage.h>

#include <QLabel>
#include <QPainter>
#include <QResizeEvent>

#include <ctime>

namespace control {

CVeskCaptureCtrl::CVeskCaptureCtrl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CVeskCaptureCtrl"));
    logFile().startForControl(std::time(nullptr));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("item%1").arg(kStatusId));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setWordWrap(true);
    m_status->setGeometry(rect());
    m_status->raise();
    m_status->clear();
    m_status->hide();
}

CVeskCaptureCtrl::~CVeskCaptureCtrl() = default;

void CVeskCaptureCtrl::SetStatusMsg(const char* text, bool show)
{
    if (text) {
        logFile().Write("CTL SetStatusMsg", text, 9);
    }
    m_status->setText(text ? QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) : QString());
    m_status->setVisible(show);
    if (m_status->isVisible()) {
        m_status->repaint();
    }
}

QString CVeskCaptureCtrl::statusText() const
{
    return m_status->text();
}

bool CVeskCaptureCtrl::statusShown() const
{
    return !m_status->isHidden();
}

bool CVeskCaptureCtrl::event(QEvent* event)
{
    if (event->type() != dialog::AddImageMessage::type()) {
        return QWidget::event(event);
    }
    auto* message = static_cast<dialog::AddImageMessage*>(event);
    if (m_addImageHandler) {
        m_addImageHandler(message->path(), message->imageCount());
    }
    message->setResult(0);
    return true;
}

void CVeskCaptureCtrl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

void CVeskCaptureCtrl::resizeEvent(QResizeEvent* event)
{
    if (event->size() != m_statusRect.size()) {
        m_statusRect = QRect(QPoint(0, 0), event->size());
        m_status->setGeometry(m_statusRect);
    }
    QWidget::resizeEvent(event);
}

} // namespace control
