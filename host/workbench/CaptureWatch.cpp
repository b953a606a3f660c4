// The workbench's watch over the capture dialog and the acquisition control's status line.
//
// Threading: main (user-interface) thread.
#include "CaptureWatch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>

#include <iostream>
#include <string>

namespace workbench {

namespace {

constexpr int kTakePicture = 1000;
constexpr int kLiveView = 1024;
constexpr int kMessageLine = 1042;
constexpr int kReferenceGroup = 1060;
constexpr int kStatusLine = 1082;
constexpr int kBodyId = 1083;
constexpr int kModelName = 1084;
constexpr int kSweepMs = 100;
// The capture dialog's result for Cancel (and the close box).
constexpr int kCancelResult = 2;

QWidget* dialogItem(QWidget& dialog, int id)
{
    return dialog.findChild<QWidget*>(QStringLiteral("item%1").arg(id));
}

std::string oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QStringLiteral(" / ")).toStdString();
}

std::string itemText(QWidget& dialog, int id)
{
    QWidget* item = dialogItem(dialog, id);
    if (auto* label = qobject_cast<QLabel*>(item))
        return oneLine(label->text());
    if (auto* edit = qobject_cast<QLineEdit*>(item))
        return oneLine(edit->text());
    return {};
}

// The capture dialog on the screen, if any.
QDialog* visibleCaptureDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->objectName() == QLatin1String("CCameraControlDlg") && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// The dialog shows its "Reference Image" group only while it holds the view's reference picture.
const char* referencePicture(QWidget& dialog)
{
    QWidget* group = dialogItem(dialog, kReferenceGroup);
    return group && group->isVisible() ? "shown" : "none";
}

// Live view shows once the picture box is up and its first frame has made its imaging child.
bool liveViewShows(QWidget& dialog)
{
    QWidget* box = dialogItem(dialog, kLiveView);
    if (!box || !box->isVisible())
        return false;
    const auto children = box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isVisible())
            return true;
    }
    return false;
}

} // namespace

UnattendedLimit::UnattendedLimit(std::chrono::seconds limit) : m_limit(limit)
{
    m_expiry.setSingleShot(true);
    QObject::connect(&m_expiry, &QTimer::timeout, [this] { m_sweep.start(); });
    m_sweep.setInterval(kSweepMs);
    QObject::connect(&m_sweep, &QTimer::timeout, [this] { endWaitingDialogs(); });
    m_expiry.start(std::chrono::duration_cast<std::chrono::milliseconds>(limit));
}

void UnattendedLimit::endWaitingDialogs()
{
    QDialog* dialog = visibleCaptureDialog();
    if (!dialog)
        return;
    std::cerr << "VeskWorkbench: the capture dialog waited " << m_limit.count()
              << " s without an operator; ending it as Cancel would\n"
              << "VeskWorkbench: message line: " << itemText(*dialog, kMessageLine) << '\n'
              << "VeskWorkbench: status line: " << itemText(*dialog, kStatusLine) << '\n'
              << "VeskWorkbench: reference picture: " << referencePicture(*dialog) << '\n';
    ++m_endedDialogs;
    // Ended with Cancel's result, not through Cancel: Cancel asks before discarding added
    // pictures, and nobody is there to answer.
    dialog->done(kCancelResult);
}

UnattendedShutter::UnattendedShutter(std::chrono::seconds wait) : m_wait(wait)
{
    m_sweep.setInterval(kSweepMs);
    QObject::connect(&m_sweep, &QTimer::timeout, [this] { sweep(); });
    m_sweep.start();
}

void UnattendedShutter::sweep()
{
    QDialog* dialog = visibleCaptureDialog();
    if (!dialog)
        return;
    if (dialog != m_dialog) {
        m_dialog = dialog;
        m_connected = false;
        m_pressed = Pressed::No;
    }
    // Take Picture is enabled exactly while the dialog is connected to its camera.
    auto* takePicture = qobject_cast<QAbstractButton*>(dialogItem(*dialog, kTakePicture));
    if (!takePicture || !takePicture->isVisible() || !takePicture->isEnabled()) {
        m_connected = false;
        return;
    }
    if (!m_connected) {
        m_connected = true;
        m_connectedAt = std::chrono::steady_clock::now();
    }
    if (m_pressed == Pressed::WithLiveView)
        return;
    if (liveViewShows(*dialog)) {
        m_pressed = Pressed::WithLiveView;
        press(*dialog, "live view shows");
    } else if (m_pressed == Pressed::No && std::chrono::steady_clock::now() - m_connectedAt >= m_wait) {
        m_pressed = Pressed::WithoutLiveView;
        press(*dialog, "no live view yet");
    }
}

void UnattendedShutter::press(QDialog& dialog, const char* reason)
{
    std::cerr << "VeskWorkbench: pressing Take Picture (" << reason << "; camera "
              << itemText(dialog, kModelName) << " [" << itemText(dialog, kBodyId) << "]; reference picture: "
              << referencePicture(dialog) << ")\n";
    qobject_cast<QAbstractButton*>(dialogItem(dialog, kTakePicture))->click();
}

ControlStatusWatch::ControlStatusWatch()
{
    qApp->installEventFilter(this);
}

ControlStatusWatch::~ControlStatusWatch()
{
    qApp->removeEventFilter(this);
}

bool ControlStatusWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched->objectName() == QLatin1String("item101")) {
        auto* status = qobject_cast<QLabel*>(watched);
        QObject* control = watched->parent();
        if (status && control && control->objectName() == QLatin1String("CVeskCaptureCtrl"))
            m_lastStatus = status->text();
    }
    return false;
}

} // namespace workbench
