// The message-box prompt as the operator sees it: caption, text with its line breaks, the
// buttons asked for, and the answer of the button pressed.
#include "hosting/MessageBoxPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

using hosting::PromptAnswer;
using hosting::PromptButtons;

class MessageBoxPromptTest final : public QObject {
    Q_OBJECT

private:
    // Runs check on the box once it is up, then presses the button.
    static void whenShown(const std::function<void(QMessageBox&)>& check, QMessageBox::StandardButton press)
    {
        QTimer::singleShot(0, [check, press] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            check(*box);
            box->button(press)->click();
        });
    }

    static void saveScreenshot(QWidget& widget, const QString& name)
    {
        const QString folder = qEnvironmentVariable("VESK_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(widget.grab().save(QDir(folder).filePath(name)));
    }

private slots:
    // Guards against the wait cursor of the work that asks (the acquisition holds one, the
    // dialog's handlers too) staying over the box the operator must answer: the box shows the
    // normal cursor, and the waiting work gets its cursors back afterwards.
    void boxShowsTheNormalCursorAndGivesTheWaitCursorBack()
    {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        bool cursorWhileShown = true;
        hosting::MessageBoxPrompt prompt(QStringLiteral("Camera"));
        whenShown([&](QMessageBox&) { cursorWhileShown = QApplication::overrideCursor() != nullptr; }, QMessageBox::Ok);
        QCOMPARE(prompt.show("No compatible cameras detected.", PromptButtons::Ok), PromptAnswer::Ok);
        QVERIFY(!cursorWhileShown);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QApplication::restoreOverrideCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QApplication::restoreOverrideCursor();
        QVERIFY(!QApplication::overrideCursor());
    }

    // Guards the folder-check box: its CR LF must become a line break (no stray glyph), it
    // must offer exactly Retry and Cancel, and Retry must come back as Retry.
    void retryCancelBoxShowsTheTextOnTwoLines()
    {
        hosting::MessageBoxPrompt prompt(QStringLiteral("Camera"));
        whenShown(
            [](QMessageBox& box) {
                QCOMPARE(box.windowTitle(), QStringLiteral("Camera"));
                QCOMPARE(box.text(), QStringLiteral("The destination directory does not exist [/x/]\n"
                                                    "Please check your configuration and try again."));
                QCOMPARE(box.standardButtons(), QMessageBox::Retry | QMessageBox::Cancel);
                QVERIFY(!QFontInfo(box.font()).family().isEmpty());
                saveScreenshot(box, QStringLiteral("prompt-retry-cancel.png"));
            },
            QMessageBox::Retry);
        QCOMPARE(prompt.show("The destination directory does not exist [/x/]\r\nPlease check your configuration and try again.",
                             PromptButtons::RetryCancel),
                 PromptAnswer::Retry);
    }

    // Guards the mapping of every button set to its buttons and answers.
    void eachButtonSetAnswersWithThePressedButton()
    {
        hosting::MessageBoxPrompt prompt(QStringLiteral("Camera"));
        whenShown([](QMessageBox& box) { QCOMPARE(box.standardButtons(), QMessageBox::Yes | QMessageBox::No); },
                  QMessageBox::No);
        QCOMPARE(prompt.show("Keep it?", PromptButtons::YesNo), PromptAnswer::No);
        whenShown([](QMessageBox& box) { QCOMPARE(box.standardButtons(), QMessageBox::Yes | QMessageBox::No); },
                  QMessageBox::Yes);
        QCOMPARE(prompt.show("Keep it?", PromptButtons::YesNo), PromptAnswer::Yes);
        whenShown([](QMessageBox& box) { QCOMPARE(box.standardButtons(), QMessageBox::Ok); }, QMessageBox::Ok);
        QCOMPARE(prompt.show("frmObjSrcCapture::Acquire\r\nfailed", PromptButtons::Ok), PromptAnswer::Ok);
    }

    // A box closed any other way (Escape, window closed) must give the safe answer, never a
    // Retry or a Yes.
    void otherEndingsGiveTheSafeAnswer()
    {
        using hosting::MessageBoxPrompt;
        QCOMPARE(MessageBoxPrompt::answerOf(-1, PromptButtons::RetryCancel), PromptAnswer::Cancel);
        QCOMPARE(MessageBoxPrompt::answerOf(QMessageBox::Escape, PromptButtons::YesNo), PromptAnswer::No);
        QCOMPARE(MessageBoxPrompt::answerOf(QMessageBox::Yes, PromptButtons::RetryCancel), PromptAnswer::Cancel);
        QMessageBox box;
        MessageBoxPrompt::prepare(box, QStringLiteral("C"), "a\rb", PromptButtons::YesNo);
        QCOMPARE(box.text(), QStringLiteral("a\nb"));
        QVERIFY(box.escapeButton() == box.button(QMessageBox::No));
        QVERIFY(box.defaultButton() == box.button(QMessageBox::Yes));
    }
};

QTEST_MAIN(MessageBoxPromptTest)
#include "MessageBoxPromptTest.moc"
