// The owner-drawn round button: a button image of five state slices, cut from a shared round
// style in nine pieces and captioned in each state's text colour; optionally it tells its
// parent when it is pressed and released, by the left mouse button or by Space. A press that
// cannot end by a release (the button is disabled, hidden or loses the focus while held) is
// reported released at once, so that nothing the press started keeps running.
//
// Threading: UI-thread widget.
#pragma once

#include "controls/ButtonFont.h"
#include "controls/RoundButtonStyle.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFont>
#include <QHideEvent>
#include <QImage>
#include <QKeyEvent>
#include <QPushButton>
#include <QRect>
#include <QString>

#include <cstdint>

namespace controls {

// The press and release notification a round button sends to its parent, synchronously.
class ButtonNotifyEvent final : public QEvent {
public:
    static constexpr uint32_t pressed = 1001;
    static constexpr uint32_t released = 1002;

    ButtonNotifyEvent(int controlId, QWidget* window, uint32_t code);

    // The event type of every button notification.
    static QEvent::Type eventType();

    int controlId() const { return m_controlId; }
    QWidget* window() const { return m_window; }
    uint32_t code() const { return m_code; }

private:
    int m_controlId;
    QWidget* m_window;
    uint32_t m_code;
};

class CRoundButton : public QPushButton {
    Q_OBJECT

public:
    explicit CRoundButton(QWidget* parent = nullptr);
    ~CRoundButton() override;

    // The style is shared and not owned; null is ignored.
    void SetRoundButtonStyle(CRoundButtonStyle* style);
    CRoundButtonStyle* RoundButtonStyle() const { return m_style; }

    // Null changes nothing; GetButtonFont answers false when given nowhere to copy.
    void SetButtonFont(const LogFont* description);
    bool GetButtonFont(LogFont* description) const;
    const QFont& ButtonFont() const { return m_font; }

    // One colour a state (ButtonState order); null changes nothing.
    void SetTextColors(const StateColors* colors);
    bool GetTextColors(StateColors* colors) const;

    // Whether pressing and releasing are reported to the parent (ButtonNotifyEvent).
    void SetPressNotification(bool enabled) { m_pressNotification = enabled; }
    bool PressNotification() const { return m_pressNotification; }

    // The dialog item identifier sent with the notifications; without one set, the number
    // of an object name "itemNNNN".
    void SetControlId(int controlId) { m_controlId = controlId; }
    int ControlId() const;

    bool PointerOver() const { return m_pointerOver; }

    // The button image as last built: the item's width, five times its height; and the
    // corner size its pieces were cut with.
    const QImage& ButtonImage() const { return m_buttonImage; }
    int CornerSize() const { return m_cornerSize; }
    // The slice drawn for the button's present state.
    int CurrentSlice() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

    void SendNotification(uint32_t code);
    // Space pressed or released, as a push button takes it (auto-repeat aside).
    static bool IsSpaceStroke(const QKeyEvent* event);
    // The button was disabled, hidden or lost the focus: a press reported and not yet
    // released is reported released now, and the button is no longer down.
    virtual void AbandonHold();

private:
    bool RecreateImage(const QRect& itemRect);
    void BuildButtonImage();
    void DrawPieces(QPainter& painter, int width, int height);

    QRect m_imageRect;
    QImage m_buttonImage;
    QFont m_font;
    LogFont m_fontDescription;
    StateColors m_textColors{0x404040, 0, 0, 0, 0};
    QString m_caption;
    bool m_pressNotification = false;
    // What the press that was reported and not yet released came from.
    enum class Hold { None, Mouse, Space } m_hold = Hold::None;
    bool m_pointerOver = false;
    bool m_rebuild = false;
    CRoundButtonStyle* m_style = nullptr;
    int m_cornerSize = 0;
    int m_controlId = 0;
};

} // namespace controls
