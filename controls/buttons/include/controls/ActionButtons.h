// Buttons that ask the camera for something: a plain push button and a round button that fire
// their action string when clicked, and the live-view autofocus button, which runs the
// autofocus while it is held down, for at most a limited time a press.
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
    // Shortens or lengthens the limit for the presses that follow.
    void SetHoldLimit(std::chrono::milliseconds limit) { m_holdLimit = limit; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void EndAutofocus();

    bool m_held = false;
    QBasicTimer m_holdTimer;
    std::chrono::milliseconds m_holdLimit = defaultHoldLimit;
};

} // namespace controls
