// The wheel filter of requireFocusForWheel.
//
// Threading: UI thread.
#include "controls/WheelNeedsFocus.h"

#include <QEvent>
#include <QObject>
#include <QVariant>
#include <QWidget>

namespace controls {
namespace {

class WheelNeedsFocusFilter final : public QObject {
public:
    explicit WheelNeedsFocusFilter(QWidget* widget) : QObject(widget), m_widget(widget) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_widget || event->type() != QEvent::Wheel || m_widget->hasFocus()) {
            return false;
        }
        // Ignored, the event goes on to the parent: a scrolling area still scrolls.
        event->ignore();
        return true;
    }

private:
    QWidget* m_widget;
};

} // namespace

void requireFocusForWheel(QWidget* widget)
{
    static constexpr const char* appliedMark = "veskWheelNeedsFocus";
    if (!widget || widget->property(appliedMark).toBool()) {
        return;
    }
    widget->setProperty(appliedMark, true);
    if (widget->focusPolicy() == Qt::WheelFocus) {
        widget->setFocusPolicy(Qt::StrongFocus);
    }
    widget->installEventFilter(new WheelNeedsFocusFilter(widget));
}

} // namespace controls
