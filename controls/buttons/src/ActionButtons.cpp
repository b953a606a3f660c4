// Clicks turned into actions, and the autofocus held for as long as the button is.
//
// Threading: see ActionButtons.h.
#include "controls/ActionButtons.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <string>

namespace controls {
namespace {

const std::string autofocusOn = "evfAfOn";
const std::string autofocusOff = "evfAfOff";

} // namespace

CActionButton::CActionButton(QWidget* parent) : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, [this] { fireAction(nullptr); });
}

CRoundActionButton::CRoundActionButton(QWidget* parent) : CRoundActionButton(ClickAction::Fire, parent) {}

CRoundActionButton::CRoundActionButton(ClickAction clickAction, QWidget* parent) : CRoundButton(parent)
{
    if (clickAction == ClickAction::Fire) {
        connect(this, &QPushButton::clicked, this, [this] { fireAction(nullptr); });
    }
}

CEvfAfButton::CEvfAfButton(QWidget* parent) : CRoundActionButton(ClickAction::None, parent) {}

// The pointer is only held while the button is; nothing is fired on the way out.
CEvfAfButton::~CEvfAfButton() = default;

void CEvfAfButton::update(camera::Observable*, const camera::ModelEvent&) {}

void CEvfAfButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    m_held = true;
    fireAction(autofocusOn, nullptr);
    CRoundButton::mousePressEvent(event);
    StartAutofocus();
}

void CEvfAfButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseReleaseEvent(event);
        return;
    }
    StopAutofocus();
    CRoundButton::mouseReleaseEvent(event);
}

void CEvfAfButton::keyPressEvent(QKeyEvent* event)
{
    if (!IsSpaceStroke(event) || m_spaceDown) {
        CRoundButton::keyPressEvent(event);
        return;
    }
    m_spaceDown = true;
    m_held = true;
    fireAction(autofocusOn, nullptr);
    CRoundButton::keyPressEvent(event);
    StartAutofocus();
}

void CEvfAfButton::keyReleaseEvent(QKeyEvent* event)
{
    if (!IsSpaceStroke(event) || !m_spaceDown) {
        CRoundButton::keyReleaseEvent(event);
        return;
    }
    m_spaceDown = false;
    StopAutofocus();
    CRoundButton::keyReleaseEvent(event);
}

void CEvfAfButton::StartAutofocus()
{
    m_holdTimer.start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(m_holdLimit.count(), 0, INT_MAX)), this);
}

// A release sends "evfAfOff" even after the time limit ended the autofocus.
void CEvfAfButton::StopAutofocus()
{
    m_held = false;
    fireAction(autofocusOff, nullptr);
}

void CEvfAfButton::focusOutEvent(QFocusEvent* event)
{
    if (m_held) {
        EndAutofocus();
    }
    CRoundActionButton::focusOutEvent(event);
}

void CEvfAfButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_holdTimer.timerId()) {
        CRoundActionButton::timerEvent(event);
        return;
    }
    m_holdTimer.stop();
    if (m_held) {
        EndAutofocus();
    }
}

// Disabled or hidden while held: no release will come, so the autofocus ends now, and Space
// coming up later on this button is no release of it.
void CEvfAfButton::AbandonHold()
{
    m_spaceDown = false;
    if (m_held) {
        EndAutofocus();
    }
    CRoundActionButton::AbandonHold();
}

void CEvfAfButton::EndAutofocus()
{
    m_holdTimer.stop();
    m_held = false;
    fireAction(autofocusOff, nullptr);
}

} // namespace controls
