// The round button: building its five-slice image, drawing the slice of its state, and the
// press and release notifications to its parent.
//
// Threading: see RoundButton.h.
#include "controls/RoundButton.h"

#include "controls/RegisteredMessages.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace controls {
namespace {

constexpr int focusInsetWithoutStyle = 5;

} // namespace

ButtonNotifyEvent::ButtonNotifyEvent(int controlId, QWidget* window, uint32_t code)
    : QEvent(eventType()), m_controlId(controlId), m_window(window), m_code(code)
{
}

QEvent::Type ButtonNotifyEvent::eventType()
{
    static const QEvent::Type type = registeredMessage(message::notify);
    return type;
}

CRoundButton::CRoundButton(QWidget* parent)
    : QPushButton(parent), m_fontDescription(roundButtonDefaultFont())
{
    m_font = toQFont(m_fontDescription);
}

CRoundButton::~CRoundButton() = default;

void CRoundButton::SetRoundButtonStyle(CRoundButtonStyle* style)
{
    if (!style) {
        return;
    }
    m_style = style;
    m_rebuild = true;
    update();
}

void CRoundButton::SetButtonFont(const LogFont* description)
{
    if (!description) {
        return;
    }
    m_fontDescription = *description;
    m_fontDescription.faceName.resize(std::min(m_fontDescription.faceName.size(), maxFaceNameLength));
    m_font = toQFont(m_fontDescription);
    m_rebuild = true;
    update();
}

bool CRoundButton::GetButtonFont(LogFont* description) const
{
    if (!description) {
        return false;
    }
    *description = m_fontDescription;
    return true;
}

void CRoundButton::SetTextColors(const StateColors* colors)
{
    if (!colors) {
        return;
    }
    m_textColors = *colors;
    m_rebuild = true;
    update();
}

bool CRoundButton::GetTextColors(StateColors* colors) const
{
    if (!colors) {
        return false;
    }
    *colors = m_textColors;
    return true;
}

int CRoundButton::ControlId() const
{
    if (m_controlId != 0) {
        return m_controlId;
    }
    const QString name = objectName();
    if (name.startsWith(QLatin1String("item"))) {
        bool isNumber = false;
        const int id = name.mid(4).toInt(&isNumber);
        if (isNumber) {
            return id;
        }
    }
    return 0;
}

int CRoundButton::CurrentSlice() const
{
    if (!isEnabled()) {
        return stateDisabled;
    }
    return isDown() ? statePressed : stateNormal;
}

void CRoundButton::paintEvent(QPaintEvent*)
{
    const QRect itemRect = rect();
    bool drawImage = false;
    if (itemRect != m_imageRect || m_rebuild) {
        m_imageRect = RecreateImage(itemRect) ? itemRect : QRect();
        m_rebuild = false;
        drawImage = true;
    }
    if (const QString caption = text(); caption != m_caption) {
        m_caption = caption;
        drawImage = true;
    }
    if (drawImage && !m_imageRect.isEmpty()) {
        BuildButtonImage();
    }

    QPainter painter(this);
    if (m_imageRect.isEmpty()) {
        // No image could be made this time; the next drawing tries again.
        painter.fillRect(itemRect, palette().button());
        return;
    }
    const int slice = CurrentSlice();
    const int height = m_imageRect.height();
    painter.drawImage(itemRect, m_buttonImage, QRect(0, slice * height, m_imageRect.width(), height));

    if (hasFocus()) {
        const int inset = m_style ? static_cast<int>(m_style->StyleRadius() * 0.5 + 2.0) : focusInsetWithoutStyle;
        const QRect focusRect = itemRect.adjusted(inset, inset, -inset - 1, -inset - 1);
        if (focusRect.isValid()) {
            painter.setPen(QPen(toQColor(m_textColors[static_cast<std::size_t>(slice)]), 1, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(focusRect);
        }
    }
}

bool CRoundButton::RecreateImage(const QRect& itemRect)
{
    if (itemRect.isEmpty()) {
        m_buttonImage = QImage();
        return false;
    }
    m_buttonImage = QImage(itemRect.width(), buttonStateCount * itemRect.height(), QImage::Format_RGB32);
    return !m_buttonImage.isNull();
}

void CRoundButton::BuildButtonImage()
{
    const int width = m_imageRect.width();
    const int height = m_imageRect.height();
    QPainter painter(&m_buttonImage);
    // A button without a style has no shape: its captions stand on the button face. With a
    // style the pieces cover the face whole.
    painter.fillRect(m_buttonImage.rect(), palette().button());
    if (m_style) {
        DrawPieces(painter, width, height);
    }

    painter.setFont(m_font);
    for (int state = 0; state < buttonStateCount; ++state) {
        painter.setPen(toQColor(m_textColors[static_cast<std::size_t>(state)]));
        painter.drawText(QRect(0, state * height, width, height),
                         Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, m_caption);
    }
}

// Nine stretched pieces a state: four corners, four edges and the centre of the round image.
void CRoundButton::DrawPieces(QPainter& painter, int width, int height)
{
    const QImage& round = m_style->GetButtonBitmap();
    const int r = m_style->Radius();
    const int half = std::min(width, height) / 2;
    const int c = r < half ? r : half;
    m_cornerSize = c;

    const auto piece = [&](int tx, int ty, int tw, int th, int sx, int sy, int sw, int sh) {
        if (tw > 0 && th > 0 && sw > 0 && sh > 0) {
            painter.drawImage(QRect(tx, ty, tw, th), round, QRect(sx, sy, sw, sh));
        }
    };
    for (int state = 0; state < buttonStateCount; ++state) {
        const int sy = state * (2 * r + 1);
        const int ty = state * height;
        piece(0, ty, c, c, 0, sy, r, r);
        piece(0, ty + height - c, c, c, 0, sy + r + 1, r, r);
        piece(width - c, ty, c, c, r + 1, sy, r, r);
        piece(width - c, ty + height - c, c, c, r + 1, sy + r + 1, r, r);
        piece(c, ty, width - 2 * c, c, r, sy, 1, r);
        piece(c, ty + height - c, width - 2 * c, c, r, sy + r + 1, 1, r);
        piece(0, ty + c, c, height - 2 * c, 0, sy + r, r, 1);
        piece(width - c, ty + c, c, height - 2 * c, r + 1, sy + r, r, 1);
        piece(c, ty + c, width - 2 * c, height - 2 * c, r, sy + r, 1, 1);
    }
}

void CRoundButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_pressNotification && m_hold == Hold::None) {
        m_hold = Hold::Mouse;
        SendNotification(ButtonNotifyEvent::pressed);
    }
    QPushButton::mousePressEvent(event);
    update();
}

void CRoundButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_hold == Hold::Mouse) {
        m_hold = Hold::None;
        SendNotification(ButtonNotifyEvent::released);
        update();
    }
    QPushButton::mouseReleaseEvent(event);
}

// Space holds the button as the left mouse button does: the arrow buttons repeat for as
// long as either is down.
void CRoundButton::keyPressEvent(QKeyEvent* event)
{
    if (IsSpaceStroke(event) && m_pressNotification && m_hold == Hold::None) {
        m_hold = Hold::Space;
        SendNotification(ButtonNotifyEvent::pressed);
    }
    QPushButton::keyPressEvent(event);
    update();
}

void CRoundButton::keyReleaseEvent(QKeyEvent* event)
{
    if (IsSpaceStroke(event) && m_hold == Hold::Space) {
        m_hold = Hold::None;
        SendNotification(ButtonNotifyEvent::released);
        update();
    }
    QPushButton::keyReleaseEvent(event);
}

// A disabled or hidden button gets no release any more, and Space goes elsewhere once the
// focus has left: each would leave the parent repeating what the press started.
void CRoundButton::focusOutEvent(QFocusEvent* event)
{
    if (event->reason() != Qt::PopupFocusReason) {
        AbandonHold();
    }
    QPushButton::focusOutEvent(event);
}

void CRoundButton::hideEvent(QHideEvent* event)
{
    AbandonHold();
    QPushButton::hideEvent(event);
}

void CRoundButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        AbandonHold();
    }
    QPushButton::changeEvent(event);
}

bool CRoundButton::IsSpaceStroke(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Space && !event->isAutoRepeat();
}

void CRoundButton::AbandonHold()
{
    if (m_hold == Hold::None) {
        return;
    }
    m_hold = Hold::None;
    SendNotification(ButtonNotifyEvent::released);
    setDown(false);
    update();
}

void CRoundButton::enterEvent(QEnterEvent* event)
{
    m_pointerOver = true;
    QPushButton::enterEvent(event);
}

void CRoundButton::leaveEvent(QEvent* event)
{
    m_pointerOver = false;
    QPushButton::leaveEvent(event);
}

void CRoundButton::SendNotification(uint32_t code)
{
    if (QWidget* parent = parentWidget()) {
        ButtonNotifyEvent notification(ControlId(), this, code);
        QCoreApplication::sendEvent(parent, &notification);
    }
}

} // namespace controls
