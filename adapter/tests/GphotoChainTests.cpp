// The whole chain on the libgphoto2 back end: the host's object source, the capture dialog and
// libgphoto2's virtual camera (scripts/camera-fixture) as the real camera, with its variants
// (VESK_VCAMERA): an operator takes a picture, adds it and ends with OK, and the host files it;
// a body that fails to focus shows the autofocus failure.
// The virtual camera refuses previews, so every acquisition runs as on a body without live view.
// Threading: UI thread; the operator acts from a timer inside the dialog's event loop.
#include "adapter/ObjSrcCaptureIds.h"

#include <automation/Registry.h>
#include <capture_test/CaptureTestSupport.h>
#include <capture_test/ObjectSets.h>
#include <hostapi/HostClasses.h>
#include <hostapi/ObjectSource.h>
#include <profile/Profile.h>

#include <exiv2/exiv2.hpp>

#include <QImage>
#include <QLabel>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using automation::Arguments;
using automation::DispatchPtr;
using automation::InvokeKind;
using automation::Variant;
using capture_test::Operator;

// Take Picture usable with live view off ("Live View must be enabled!", the dialog's line for a
// body without live view) for a whole second: the session has settled, so a click shoots.
Operator::Step liveViewSettledOff()
{
    auto since = std::make_shared<std::chrono::steady_clock::time_point>();
    return [since](QWidget& dialog) {
        const auto* message = qobject_cast<QLabel*>(Operator::item(dialog, 1042));
        const bool off = Operator::usable(dialog, 1000) && message &&
                         message->text() == QStringLiteral("Live View must be enabled!");
        const auto now = std::chrono::steady_clock::now();
        if (!off) {
            *since = {};
            return false;
        }
        if (*since == std::chrono::steady_clock::time_point{}) {
            *since = now;
        }
        return now - *since >= std::chrono::seconds(1);
    };
}

std::string exifText(const fs::path& file, const char* key)
{
    auto image = Exiv2::ImageFactory::open(file.string());
    image->readMetadata();
    const auto found = image->exifData().findKey(Exiv2::ExifKey(key));
    return found == image->exifData().end() ? std::string() : found->toString();
}

} // namespace

class GphotoChainTest final : public QObject {
    Q_OBJECT

private:
    fs::path m_folder;
    fs::path m_import;
    DispatchPtr m_source;
    capture_test::QueuedPrompt m_prompt;
    hosting::Prompt* m_previousPrompt = nullptr;

    bool acquire(Variant& objectSet)
    {
        Arguments arguments{Variant::reference(objectSet), Variant(true)};
        return m_source->invoke(host::kAcquireDispId, InvokeKind::Method, arguments).toBool();
    }
    // One acquisition as an operator makes it: Take Picture, Add Image once the picture is
    // processed, OK. Returns the file the host filed, empty when it filed none.
    std::string acquireOnePicture()
    {
        Operator person;
        person.then(liveViewSettledOff());
        person.then(Operator::click(1000));
        person.then(Operator::click(1061));
        person.then(Operator::click(1));
        Variant objectSet;
        if (!acquire(objectSet) || capture_test::objectCount(objectSet) != 1) {
            return {};
        }
        return capture_test::objectFilePath(objectSet, 1);
    }
    // The dialog's capture errors, as its log has them.
    std::string captureErrorsLogged() const
    {
        std::string errors;
        for (const auto& entry : fs::directory_iterator(m_import)) {
            if (entry.path().extension() != ".log") {
                continue;
            }
            std::ifstream log(entry.path());
            std::string line;
            while (std::getline(log, line)) {
                if (line.find("DLG OnCaptureError") != std::string::npos) {
                    errors += line + "\n";
                }
            }
        }
        return errors;
    }

private slots:
    void init()
    {
        char pattern[] = "/tmp/vesk-gphoto-chain-XXXXXX";
        m_folder = mkdtemp(pattern);
        m_import = m_folder / "import";
        fs::create_directories(m_import);
        fs::current_path(m_folder);
        qputenv("VESK_REGISTRY", QByteArray::fromStdString((m_folder / "registry.ini").string()));
        for (const char* module : {VESK_HOST_MODULE, VESK_CAPTURE_MODULE, VESK_OBJSRC_MODULE}) {
            QCOMPARE(automation::registerModule(module), automation::S_OK);
        }
        const std::string store = (m_folder / "host.ini").string();
        QVERIFY(vesk::profile::writeString(store, "0", "ImportTempPath", m_import.string()));
        QVERIFY(vesk::profile::writeString(store, "0", "DebugLogLevel", "9"));
        QVERIFY(vesk::profile::writeString(store, "St1", "OSMaxImgHeight", "800"));
        QVERIFY(vesk::profile::writeString(store, "St1", "ED_SaveExifData", "Y"));
        const DispatchPtr config = automation::createObject(host::kConfigurationProgId);
        automation::invokeByName(*config, "StorePath", InvokeKind::PropertyPut, {Variant(store)});
        m_source = automation::createObject(adapter::kObjSrcCaptureProgId);
        Arguments arguments{Variant(config), Variant("St1")};
        QVERIFY(m_source->invoke(host::kSetConfigDispId, InvokeKind::Method, arguments).toBool());
        m_prompt = {};
        m_previousPrompt = hosting::installPrompt(&m_prompt);
    }

    void cleanup()
    {
        hosting::installPrompt(m_previousPrompt);
        m_source = nullptr;
        qunsetenv("VESK_VCAMERA");
        std::error_code ignored;
        fs::current_path("/");
        fs::remove_all(m_folder, ignored);
    }

    // Guards against an acquisition on a body that refuses previews ending with only Cancel
    // left (live view kept "to the host"), against the picture reaching the host unscaled or
    // without the camera's EXIF, and against a second acquisition in the same process failing.
    void acquisitionsFileTheScaledPictureWithItsExif()
    {
        for (int acquisition = 1; acquisition <= 2; ++acquisition) {
            const std::string filed = acquireOnePicture();
            QVERIFY2(!filed.empty(), qPrintable(QStringLiteral("acquisition %1 filed nothing").arg(acquisition)));
            if (acquisition == 1) {
                QCOMPARE(fs::path(filed).filename().string(), std::string("1.jpg"));
            }
            QImage picture;
            QVERIFY(picture.load(QString::fromStdString(filed)));
            QCOMPARE(picture.height(), 800);
            QCOMPARE(picture.width(), 1067);
            QCOMPARE(exifText(filed, "Exif.Image.Make"), std::string("GP"));
            QCOMPARE(exifText(filed, "Exif.Image.Model"), std::string("VC"));
        }
        // Nothing in the normal flow reached the message line as a camera error.
        QCOMPARE(captureErrorsLogged(), std::string());
    }

    // Guards against a shot that found no focus reaching the dialog as a plain camera error:
    // the dialog must see the autofocus failure, on which it starts live view again.
    void focusFailureReachesTheDialogAsAnAutofocusFailure()
    {
        qputenv("VESK_VCAMERA", "focusfail");
        Operator person;
        person.then(liveViewSettledOff());
        person.then(Operator::click(1000));
        person.then([this](QWidget&) { return !captureErrorsLogged().empty(); });
        person.then(Operator::click(2));
        Variant objectSet;
        QVERIFY(!acquire(objectSet));
        QVERIFY(person.done());
        QCOMPARE(capture_test::objectCount(objectSet), 0);
        const std::string errors = captureErrorsLogged();
        QVERIFY2(errors.find("[8D01] Take Picture - Auto focus failed") != std::string::npos, errors.c_str());
    }

    void variantsFinishAnAcquisition_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::newRow("no serial number") << QStringLiteral("noserial");
        QTest::newRow("no capture target") << QStringLiteral("generic");
        QTest::newRow("thirds of a stop") << QStringLiteral("thirds");
    }
    // Guards against bodies without serial number ("No compatible cameras detected.") or
    // without capture target (no "CameraConnected") being unusable.
    void variantsFinishAnAcquisition()
    {
        QFETCH(QString, variant);
        qputenv("VESK_VCAMERA", variant.toUtf8());
        const std::string filed = acquireOnePicture();
        QVERIFY2(!filed.empty(), qPrintable(m_prompt.questions.empty() ? QStringLiteral("nothing filed")
                                                                       : QString::fromStdString(m_prompt.questions[0])));
        QImage picture;
        QVERIFY(picture.load(QString::fromStdString(filed)));
        QCOMPARE(picture.height(), 800);
        QCOMPARE(captureErrorsLogged(), std::string());
    }
};

QTEST_MAIN(GphotoChainTest)
#include "GphotoChainTests.moc"
