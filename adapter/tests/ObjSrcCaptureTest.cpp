// The camera object source loaded as a host loads it (module registered in a private class
// registry, class created by ProgID), and its form's event handling and position correction.
// The capture control is not registered here: everything up to the control's creation is
// driven for real, and the control's absence is one of the failures checked.
#include "adapter/ImageImport.h"
#include "adapter/ObjSrcCaptureForm.h"
#include "adapter/ObjSrcCaptureIds.h"
#include "automation/Events.h"
#include "automation/Registry.h"
#include "hostapi/HostClasses.h"
#include "hostapi/ObjectSource.h"
#include "hosting_test/RecordingPrompt.h"
#include "profile/Profile.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

using automation::Arguments;
using automation::AutomationError;
using automation::DispatchPtr;
using automation::InvokeKind;
using automation::Variant;
using hosting::PromptAnswer;
namespace fs = std::filesystem;

class ObjSrcCaptureTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    std::string m_storePath;
    DispatchPtr m_config;

    std::string path(const std::string& name) const { return (fs::path(m_folder.path().toStdString()) / name).string(); }
    void setSetting(const std::string& group, const std::string& key, const std::string& value) const
    {
        QVERIFY(vesk::profile::writeString(m_storePath, group, key, value));
    }
    static int32_t count(const DispatchPtr& set)
    {
        return automation::invokeByName(*set, "Count", InvokeKind::PropertyGet).toInt32();
    }
    static Variant call(const DispatchPtr& object, automation::DispId id, InvokeKind kind, Arguments arguments = {})
    {
        return object->invoke(id, kind, arguments);
    }
    // Acquire through the interface, with a set of one object passed in.
    static bool acquire(const DispatchPtr& source, Variant& objectSet)
    {
        Arguments arguments{Variant::reference(objectSet), Variant(true)};
        return source->invoke(host::kAcquireDispId, InvokeKind::Method, arguments).toBool();
    }
    DispatchPtr configuredSource(const std::string& importFolder)
    {
        setSetting("0", "ImportTempPath", importFolder);
        const DispatchPtr source = automation::createObject(adapter::kObjSrcCaptureProgId);
        [&] { QVERIFY(call(source, host::kSetConfigDispId, InvokeKind::Method, {Variant(m_config), Variant("St1")}).toBool()); }();
        return source;
    }
    static DispatchPtr setWithOneObject()
    {
        const DispatchPtr set = automation::createObject(host::kObjectSetProgId);
        automation::invokeByName(*set, "Add", InvokeKind::Method, {Variant(automation::createObject(host::kImageObjectProgId))});
        return set;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        ::setenv("VESK_REGISTRY", path("registry.ini").c_str(), 1);
        QCOMPARE(automation::registerModule(VESK_HOST_MODULE), automation::S_OK);
        QCOMPARE(automation::registerModule(VESK_OBJSRC_MODULE), automation::S_OK);
        m_storePath = path("host.ini");
        m_config = automation::createObject(host::kConfigurationProgId);
        automation::invokeByName(*m_config, "StorePath", InvokeKind::PropertyPut, {Variant(m_storePath)});
    }

    // Guards the registration a host relies on: the class by ProgID and by class ID, in this
    // module, and unregistering removes only the module's own class.
    void moduleRegistersAndUnregistersItsClass()
    {
        const auto byProgId = automation::findClass(adapter::kObjSrcCaptureProgId);
        QVERIFY(byProgId);
        QCOMPARE(byProgId->classId, std::string(adapter::kObjSrcCaptureClassId));
        QCOMPARE(byProgId->modulePath, fs::canonical(VESK_OBJSRC_MODULE).string());
        QVERIFY(automation::findClass(adapter::kObjSrcCaptureClassId));

        QCOMPARE(automation::unregisterModule(VESK_OBJSRC_MODULE), automation::S_OK);
        QVERIFY(!automation::findClass(adapter::kObjSrcCaptureProgId));
        QVERIFY(automation::findClass(host::kObjectSetProgId));
        try {
            automation::createObject(adapter::kObjSrcCaptureProgId);
            QFAIL("created after unregistering");
        } catch (const AutomationError& error) {
            QCOMPARE(error.code(), automation::REGDB_E_CLASSNOTREG);
        }
        QCOMPARE(automation::registerModule(VESK_OBJSRC_MODULE), automation::S_OK);
    }

    // LastError is always nothing, WhiteBalance is plain storage, ImageView is write-only, and
    // a configuration of nothing is refused without a box.
    void plainMembersOfTheInterfaces()
    {
        hosting_test::RecordingPrompt prompt;
        const DispatchPtr source = automation::createObject(adapter::kObjSrcCaptureClassId);
        QVERIFY(source->supportsInterface(host::kObjectSourceInterface));
        QVERIFY(source->supportsInterface(adapter::kObjSrcCaptureInterface));
        QVERIFY(!call(source, host::kLastErrorDispId, InvokeKind::PropertyGet).toDispatch());
        QCOMPARE(call(source, host::kWhiteBalanceDispId, InvokeKind::PropertyGet).toInt32(), 0);
        call(source, host::kWhiteBalanceDispId, InvokeKind::PropertyPut, {Variant(int16_t{5})});
        QCOMPARE(call(source, host::kWhiteBalanceDispId, InvokeKind::PropertyGet).toInt32(), 5);

        call(source, adapter::kImageViewDispId, InvokeKind::PropertyPut, {Variant("FaceFront")});
        QCOMPARE(source->getIdsOfNames("imageview"), adapter::kImageViewDispId);
        try {
            call(source, adapter::kImageViewDispId, InvokeKind::PropertyGet);
            QFAIL("ImageView could be read");
        } catch (const AutomationError& error) {
            QCOMPARE(error.code(), automation::DISP_E_MEMBERNOTFOUND);
        }
        QCOMPARE(call(source, host::kSetConfigDispId, InvokeKind::Method, {Variant(), Variant("St1")}).toBool(), false);
        QVERIFY(prompt.texts.empty());
    }

    // Guards the cancel at the folder check: the configured folder is named in the box, the
    // result is false, the caller gets a new empty set (its own set untouched), and neither
    // the hourglass nor LastError is left behind.
    void cancelAtTheFolderCheckGivesANewEmptySet()
    {
        hosting_test::RecordingPrompt prompt;
        const std::string missing = path("missing");
        const DispatchPtr source = configuredSource(missing);
        const DispatchPtr own = setWithOneObject();
        Variant objectSet(own);

        QVERIFY(!acquire(source, objectSet));
        QCOMPARE(prompt.texts, std::vector<std::string>{"The destination directory does not exist [" + missing
                                                        + "/]\r\nPlease check your configuration and try again."});
        QCOMPARE(prompt.shownButtons[0], hosting::PromptButtons::RetryCancel);
        QVERIFY(objectSet.toDispatch());
        QVERIFY(!(objectSet.toDispatch() == own));
        QCOMPARE(count(objectSet.toDispatch()), 0);
        QCOMPARE(count(own), 1);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!call(source, host::kLastErrorDispId, InvokeKind::PropertyGet).toDispatch());
    }

    // Retry after the folder appears goes on to load the control; a control that cannot be
    // created is an error of Acquire (box, false, new empty set), not a crash or a hang.
    void retryGoesOnAndAMissingControlFailsTheAcquisition()
    {
        hosting_test::RecordingPrompt prompt;
        const std::string later = path("later");
        const DispatchPtr source = configuredSource(later);
        prompt.answers = {PromptAnswer::Retry};
        prompt.onShow = [&] { fs::create_directories(later); };
        Variant objectSet(setWithOneObject());

        QVERIFY(!acquire(source, objectSet));
        QCOMPARE(prompt.texts.size(), std::size_t{2});
        QVERIFY2(prompt.texts[1].starts_with("frmObjSrcCapture::Acquire\r\nClass not registered: VeskCapture.VeskCaptureCtrl.1"),
                 prompt.texts[1].c_str());
        QCOMPARE(prompt.shownButtons[1], hosting::PromptButtons::Ok);
        QCOMPARE(count(objectSet.toDispatch()), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    // Guards the AddImage event as the control raises it: each image is filed as the next
    // number, the count is written back through the reference, and an image that cannot be
    // filed is reported while the dialog still gets the set's count.
    void addImageEventsFileImagesAndWriteTheCountBack()
    {
        hosting_test::RecordingPrompt prompt;
        const std::string import = path("events");
        fs::create_directories(import);
        setSetting("0", "ImportTempPath", import);
        adapter::frmObjSrcCapture form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Camera - Acquire Image"));
        QVERIFY(form.SetConfig(Variant(m_config), "St1"));
        form.m_oObjectSet = adapter::newObjectSet();
        automation::EventSource events;
        events.advise(form.captureEvents());

        const std::string capture = path("tmpCapture.jpg");
        for (int32_t expected = 1; expected <= 3; ++expected) {
            std::ofstream(capture, std::ios::trunc) << "image " << expected;
            Variant imageCount(int32_t{-1});
            Arguments arguments{Variant(capture), Variant::reference(imageCount)};
            events.fire(adapter::kAddImageEventDispId, arguments);
            QCOMPARE(imageCount.toInt32(), expected);
            QVERIFY(fs::is_regular_file(import + "/" + std::to_string(expected) + ".jpg"));
        }
        Variant imageCount(int32_t{7});
        Arguments failing{Variant(path("absent.jpg")), Variant::reference(imageCount)};
        events.fire(adapter::kAddImageEventDispId, failing);
        QCOMPARE(imageCount.toInt32(), 3);
        QCOMPARE(count(form.m_oObjectSet), 3);
        QCOMPARE(prompt.texts.size(), std::size_t{1});
        QVERIFY(prompt.texts[0].starts_with("frmObjSrcCapture::AddImage\r\n"));
        QVERIFY(!QApplication::overrideCursor());
    }

    // Guards the one-time correction: only an owner window exactly 733 pixels high (frame
    // included) moves the form, by 26 pixels, once per form.
    void ownerOf733PixelsMovesTheFormDownOnce()
    {
        std::map<int, int> shownTop;
        for (const int ownerHeight : {734, 733}) {
            QWidget owner;
            owner.resize(900, 700);
            owner.show();
            QVERIFY(QTest::qWaitForWindowExposed(&owner));
            owner.resize(900, ownerHeight - (owner.frameGeometry().height() - owner.height()));
            QTRY_COMPARE(owner.frameGeometry().height(), ownerHeight);
            adapter::frmObjSrcCapture form(&owner);
            form.move(100, 100);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            if (ownerHeight == 734)
                shownTop[734] = form.geometry().y();
            else
                QTRY_COMPARE(form.geometry().y(), shownTop[734] + 26);
            form.resize(form.width() + 40, form.height() + 30);
            QTRY_COMPARE(form.size().height(), 150);
            QCoreApplication::processEvents();
            QCOMPARE(form.geometry().y(), ownerHeight == 734 ? shownTop[734] : shownTop[734] + 26);
        }
    }
};

QTEST_MAIN(ObjSrcCaptureTest)
#include "ObjSrcCaptureTest.moc"
