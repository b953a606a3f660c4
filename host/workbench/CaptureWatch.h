// What the workbench does with the windows of an acquisition that the modules own: it ends a
// capture dialog that waits too long for an operator, presses Take Picture for an unattended
// check of a station's camera, and keeps the acquisition control's last status line, which
// tells why an acquisition without a capture dialog failed. It finds them by their object
// names ("CCameraControlDlg", "CVeskCaptureCtrl", "item<ID>").
//
// Threading: main (user-interface) thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QDialog;

namespace workbench {

// Ends the capture dialog once it has waited longer than the limit for an operator: prints its
// message and status lines on stderr and ends it as Cancel does, so the acquisition unwinds
// (and removes its files) as after a person's Cancel. A dialog opened after the limit (a new
// cycle) is ended as well.
class UnattendedLimit final {
public:
    explicit UnattendedLimit(std::chrono::seconds limit);
    // True when a dialog was ended: the acquisition then counts as failed.
    bool endedADialog() const { return m_endedDialogs > 0; }

private:
    void endWaitingDialogs();

    std::chrono::seconds m_limit;
    QTimer m_expiry;
    QTimer m_sweep;
    int m_endedDialogs = 0;
};

// Presses Take Picture in the capture dialog once it is connected to its camera: as soon as live
// view shows, or `wait` after connecting when it does not (a camera without live view). When that
// press only started live view (the camera's live view was not sent to the dialog), live view
// showing gets one more press. A new dialog (a reconnect cycle) is pressed for anew.
class UnattendedShutter final {
public:
    explicit UnattendedShutter(std::chrono::seconds wait);

private:
    enum class Pressed { No, WithoutLiveView, WithLiveView };
    void sweep();
    void press(QDialog& dialog, const char* reason);

    std::chrono::seconds m_wait;
    QTimer m_sweep;
    QPointer<QDialog> m_dialog;
    bool m_connected = false;
    std::chrono::steady_clock::time_point m_connectedAt;
    Pressed m_pressed = Pressed::No;
};

// Keeps the acquisition control's status line as it stood when it was last hidden: hidden by the
// control itself (the capture dialog took over) it is empty; hidden with the control's window at
// the end of the acquisition it holds the control's last word ("No compatible cameras
// detected.", "Unable to initialize the camera SDK: %d", ...), which nobody may have seen.
class ControlStatusWatch final : public QObject {
public:
    ControlStatusWatch();
    ~ControlStatusWatch() override;
    ControlStatusWatch(const ControlStatusWatch&) = delete;
    ControlStatusWatch& operator=(const ControlStatusWatch&) = delete;

    const QString& lastStatus() const { return m_lastStatus; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_lastStatus;
};

} // namespace workbench
