// The camera search's Retry/Cancel box as the operator sees it, through the whole chain a host
// runs (object source, form, capture control) with the message-box prompt: the box must leave
// the control's status line, which names the failed attempt, readable.
#include <automation/Registry.h>
#include <camsdk/Simulator.h>
#include <hostapi/HostClasses.h>
#include <hostapi/ObjectSource.h>
#include <hosting/MessageBoxPrompt.h>
#include <profile/Profile.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

// The acquisition control's status line, while the control is up.
QLabel* controlStatusLine()
{
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == QLatin1String("item101") && widget->parent() &&
            widget->parent()->objectName() == QLatin1String("CVeskCaptureCtrl"))
            return qobject_cast<QLabel*>(widget);
    }
    return nullptr;
}

struct SeenBox {
    QRect box;
    QRect statusLine;
    QString statusText;
};

} // namespace

class SearchBoxTest final : public QObject {
    Q_OBJECT

private:
    fs::path m_folder;

private slots:
    void init()
    {
        char pattern[] = "/tmp/vesk-search-box-XXXXXX";
        m_folder = ::mkdtemp(pattern);
        fs::create_directories(m_folder / "import");
        std::ofstream(m_folder / "camera.ini") << "[Simulator]\nBodies=0\n";
        qputenv("VESK_CAMERA_SIM", QByteArray::fromStdString((m_folder / "camera.ini").string()));
        camsdk::sim::reset();
        qputenv("VESK_REGISTRY", QByteArray::fromStdString((m_folder / "registry.ini").string()));
        for (const char* module : {VESK_HOST_MODULE, VESK_CAPTURE_MODULE, VESK_OBJSRC_MODULE})
            QCOMPARE(automation::registerModule(module), automation::S_OK);
    }

    void cleanup()
    {
        qunsetenv("VESK_CAMERA_SIM");
        camsdk::sim::reset();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    // Guards against the box being centred over the acquisition window, where it hid the
    // "[Attempt N of 5]" line it asks about.
    void retryBoxLeavesTheStatusLineFree()
    {
        const std::string store = (m_folder / "host.ini").string();
        QVERIFY(vesk::profile::writeString(store, "0", "ImportTempPath", (m_folder / "import").string()));
        const automation::DispatchPtr config = automation::createObject(host::kConfigurationProgId);
        automation::invokeByName(*config, "StorePath", InvokeKind::PropertyPut, {Variant(store)});
        const automation::DispatchPtr source = automation::createObject("VeskObjSrcCapture.clsObjSrcCapture");
        Arguments setConfig{Variant(config), Variant("St1")};
        QVERIFY(source->invoke(host::kSetConfigDispId, InvokeKind::Method, setConfig).toBool());

        hosting::MessageBoxPrompt boxes(QStringLiteral("Camera"));
        hosting::ScopedPrompt installed(boxes);
        QList<SeenBox> seen;
        // Retry once, then Cancel: the second box is asked over a status line that has changed.
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QLabel* status = controlStatusLine();
            if (!box || !box->isVisible() || !status)
                return;
            seen.append({box->frameGeometry(), QRect(status->mapToGlobal(QPoint(0, 0)), status->size()), status->text()});
            box->button(seen.size() == 1 ? QMessageBox::Retry : QMessageBox::Cancel)->click();
        });
        answer.start();
        Variant objectSet;
        Arguments acquire{Variant::reference(objectSet), Variant(false)};
        QVERIFY(!source->invoke(host::kAcquireDispId, InvokeKind::Method, acquire).toBool());
        answer.stop();

        QCOMPARE(seen.size(), 2);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            const SeenBox& box = seen[attempt - 1];
            QVERIFY2(box.statusText.contains(QStringLiteral("[Attempt %1 of 5]").arg(attempt)), qPrintable(box.statusText));
            QVERIFY(!box.statusLine.isEmpty());
            QVERIFY2(!box.box.intersects(box.statusLine),
                     qPrintable(QStringLiteral("box %1,%2 %3x%4 over status line %5,%6 %7x%8")
                                    .arg(box.box.x()).arg(box.box.y()).arg(box.box.width()).arg(box.box.height())
                                    .arg(box.statusLine.x()).arg(box.statusLine.y()).arg(box.statusLine.width())
                                    .arg(box.statusLine.height())));
        }
    }

    // Guards the placement rule on a crowded screen: below when there is room, above when the
    // status line sits at the bottom, beside it when it fills the screen's height, and never off
    // the screen.
    void boxGoesWhereThereIsRoom()
    {
        const QRect screen(0, 0, 1000, 800);
        const QSize box(300, 120);
        using hosting::MessageBoxPrompt;
        QCOMPARE(MessageBoxPrompt::placeBeside(QRect(300, 100, 400, 120), box, screen), QPoint(349, 228));
        QCOMPARE(MessageBoxPrompt::placeBeside(QRect(300, 660, 400, 120), box, screen), QPoint(349, 532));
        QCOMPARE(MessageBoxPrompt::placeBeside(QRect(0, 0, 400, 800), box, screen), QPoint(408, 339));
        QCOMPARE(MessageBoxPrompt::placeBeside(QRect(600, 0, 400, 800), box, screen), QPoint(292, 339));
        QCOMPARE(MessageBoxPrompt::placeBeside(QRect(-50, 700, 200, 60), box, screen), QPoint(0, 572));
        QCOMPARE(MessageBoxPrompt::placeBeside(screen, box, screen), QPoint(349, 680));
    }
};

QTEST_MAIN(SearchBoxTest)
#include "SearchBoxTest.moc"
