// Buttons that ask the camera for something: a plain push button and a round button that fire
// their action string when clicked, and the live-view autofocus button, which runs the
// autofocus while it is held down (left mouse button or Space), for at most a limited time a
// press, and stops it as soon as the button is disabled or hidden.
//
// Threading: UI-thread widgets. CEvfAfButton's `update` may be called on any thread and does
// nothing.
#pragma once

#include "controls/RoundButton.h"

#include <camera/ActionEvents.h>
#include <camera/Observable.h>

#include <QBasicTimer>
#include <QPushButton>

#include <chrono>

namespace controls {

class CActionButton final : public QPushButton, public camera::ActionSource {
    Q_OBJECT

public:
    explicit CActionButton(QWidget* parent = nullptr);
};

class CRoundActionButton : public CRoundButton, public camera::ActionSource {
    Q_OBJECT

public:
    explicit CRoundActionButton(QWidget* parent = nullptr);

protected:
    enum class ClickAction { Fire, None };
    CRoundActionButton(ClickAction clickAction, QWidget* parent);
};

class CEvfAfButton final : public CRoundActionButton, public camera::Observer {
    Q_OBJECT

public:
    // The longest the autofocus runs for one press.
    static constexpr std::chrono::milliseconds defaultHoldLimit{10000};

    explicit CEvfAfButton(QWidget* parent = nullptr);
    ~CEvfAfButton() override;

    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;

    bool Held() const { return m_held; }
    // Whether the time limit of the present press is running (window timer 2).
    bool HoldTimerActive() const { return m_holdTimer.isActive(); }
    // Shortens or lengthens the limit for the presses that follow.
    void SetHoldLimit(std::chrono::milliseconds limit) { m_holdLimit = limit; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void AbandonHold() override;

private:
    // Press and release, by the left mouse button or by Space.
    void StartAutofocus();
    void StopAutofocus();
    void EndAutofocus();

    bool m_held = false;
    // Space went down on this button and has not come up yet.
    bool m_spaceDown = false;
    QBasicTimer m_holdTimer;
    std::chrono::milliseconds m_holdLimit = defaultHoldLimit;
};

} // namespace controls
