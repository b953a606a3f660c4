// The message-box prompt: the system's texts in a QMessageBox.
#include "hosting/MessageBoxPrompt.h"

#include "hosting/WaitCursor.h"

#include <QApplication>
#include <QMessageBox>

namespace hosting {

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

PromptAnswer MessageBoxPrompt::show(std::string_view text, PromptButtons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    prepare(box, m_caption, text, buttons);
    // The operator answers with the normal cursor, whatever work is waiting on the answer.
    NormalCursor normalCursor;
    return answerOf(box.exec(), buttons);
}

} // namespace hosting
