// The message-box prompt: the system's texts in a QMessageBox, placed beside a widget that must
// stay readable.
//
// Threading: user-interface thread only.
#include "hosting/MessageBoxPrompt.h"

#include "hosting/WaitCursor.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace hosting {

namespace {

// Space left between a box and the widget it keeps free.
constexpr int kGap = 8;

// The widget of the innermost ScopedUncoveredWidget; gone with the widget.
QPointer<QWidget>& uncoveredWidget()
{
    static QPointer<QWidget> widget;
    return widget;
}

// A message box that, once its size is known, moves beside the widget it must leave free.
class PlacedMessageBox final : public QMessageBox {
public:
    PlacedMessageBox(QWidget* parent, QWidget* uncovered) : QMessageBox(parent), m_uncovered(uncovered) {}

protected:
    void showEvent(QShowEvent* event) override
    {
        // The box takes its final size in its own show event.
        QMessageBox::showEvent(event);
        if (!m_uncovered || !m_uncovered->isVisible())
            return;
        const QRect uncovered(m_uncovered->mapToGlobal(QPoint(0, 0)), m_uncovered->size());
        QScreen* screen = m_uncovered->screen();
        const QRect available = screen ? screen->availableGeometry() : uncovered;
        move(MessageBoxPrompt::placeBeside(uncovered, frameGeometry().size(), available));
    }

private:
    QPointer<QWidget> m_uncovered;
};

} // namespace

MessageBoxPrompt::MessageBoxPrompt(QString caption) : m_caption(std::move(caption)) {}

void MessageBoxPrompt::prepare(QMessageBox& box, const QString& caption, std::string_view text, PromptButtons buttons)
{
    // The system writes its line breaks as CR LF; a lone CR would show as a stray glyph.
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    switch (buttons) {
    case PromptButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case PromptButtons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Retry);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case PromptButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
}

PromptAnswer MessageBoxPrompt::answerOf(int result, PromptButtons buttons)
{
    switch (result) {
    case QMessageBox::Ok:
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : safeAnswer(buttons);
    case QMessageBox::Retry:
        return buttons == PromptButtons::RetryCancel ? PromptAnswer::Retry : safeAnswer(buttons);
    case QMessageBox::Yes:
        return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : safeAnswer(buttons);
    default:
        return safeAnswer(buttons);
    }
}

QPoint MessageBoxPrompt::placeBeside(const QRect& uncovered, const QSize& box, const QRect& screen)
{
    const auto clampX = [&](int x) { return std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - box.width())); };
    const auto clampY = [&](int y) { return std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - box.height())); };
    const int centredX = clampX(uncovered.center().x() - box.width() / 2);
    const int centredY = clampY(uncovered.center().y() - box.height() / 2);
    const int below = uncovered.bottom() + 1 + kGap;
    if (below + box.height() <= screen.bottom() + 1)
        return {centredX, below};
    const int above = uncovered.top() - kGap - box.height();
    if (above >= screen.top())
        return {centredX, above};
    const int right = uncovered.right() + 1 + kGap;
    if (right + box.width() <= screen.right() + 1)
        return {right, centredY};
    const int left = uncovered.left() - kGap - box.width();
    if (left >= screen.left())
        return {left, centredY};
    return {centredX, clampY(below)};
}

ScopedUncoveredWidget::ScopedUncoveredWidget(QWidget* widget) : m_previous(uncoveredWidget())
{
    uncoveredWidget() = widget;
}

ScopedUncoveredWidget::~ScopedUncoveredWidget()
{
    uncoveredWidget() = m_previous;
}

QWidget* ScopedUncoveredWidget::current()
{
    return uncoveredWidget();
}

PromptAnswer MessageBoxPrompt::show(std::string_view text, PromptButtons buttons)
{
    PlacedMessageBox box(QApplication::activeWindow(), uncoveredWidget());
    prepare(box, m_caption, text, buttons);
    // The operator answers with the normal cursor, whatever work is waiting on the answer.
    NormalCursor normalCursor;
    return answerOf(box.exec(), buttons);
}

} // namespace hosting
