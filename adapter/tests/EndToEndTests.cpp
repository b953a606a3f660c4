// The whole chain as a host runs it: the object source created by its ProgID, SetConfig and
// Acquire, the form, the capture control created by its ProgID, DoAcquire, the capture dialog
// on the simulated camera, and every added image filed as a numbered JPEG into the host's set.
// An operator uses the dialog's buttons; prompts are answered through the prompt interface.
#include "adapter/ObjSrcCaptureIds.h"

#include <automation/Registry.h>
#include <camsdk/Simulator.h>
#include <capture_test/CaptureTestSupport.h>
#include <capture_test/ObjectSets.h>
#include <hostapi/HostClasses.h>
#include <hostapi/ObjectSource.h>
#include <profile/Profile.h>

#include <QTest>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using automation::Arguments;
using automation::DispatchPtr;
using automation::InvokeKind;
using automation::Variant;
using capture_test::Operator;

} // namespace

class EndToEndTest final : public QObject {
    Q_OBJECT

private:
    fs::path m_folder;
    fs::path m_import;
    std::string m_store;
    DispatchPtr m_source;
    capture_test::QueuedPrompt m_prompt;
    hosting::Prompt* m_previousPrompt = nullptr;

    // Acquire through the host's interface; the set the source hands back arrives in objectSet.
    bool acquire(Variant& objectSet, bool multiMode = true)
    {
        Arguments arguments{Variant::reference(objectSet), Variant(multiMode)};
        return m_source->invoke(host::kAcquireDispId, InvokeKind::Method, arguments).toBool();
    }
    // Adds `images` pictures; live view is started again between them.
    static void addPictures(Operator& person, int images)
    {
        for (int image = 0; image < images; ++image) {
            if (image > 0) {
                person.then(Operator::click(1000));
            }
            person.then(Operator::shoot());
            person.then(Operator::click(1061));
        }
    }

private slots:
    void init()
    {
        camsdk::sim::reset();
        camsdk::sim::SimConfig camera = camsdk::sim::makeDefaultConfig();
        camera.propertyEventDelayMs = 1;
        camsdk::sim::configure(camera);
        char pattern[] = "/tmp/vesk-end-to-end-XXXXXX";
        m_folder = mkdtemp(pattern);
        m_import = m_folder / "import";
        fs::create_directories(m_import);
        fs::current_path(m_folder);
        qputenv("VESK_REGISTRY", QByteArray::fromStdString((m_folder / "registry.ini").string()));
        for (const char* module : {VESK_HOST_MODULE, VESK_CAPTURE_MODULE, VESK_OBJSRC_MODULE}) {
            QCOMPARE(automation::registerModule(module), automation::S_OK);
        }
        m_store = (m_folder / "host.ini").string();
        QVERIFY(vesk::profile::writeString(m_store, "0", "ImportTempPath", m_import.string()));
        const DispatchPtr config = automation::createObject(host::kConfigurationProgId);
        automation::invokeByName(*config, "StorePath", InvokeKind::PropertyPut, {Variant(m_store)});
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
        std::error_code ignored;
        fs::current_path("/");
        fs::remove_all(m_folder, ignored);
    }

    // Guards against images lost or misnumbered between the dialog and the host's set.
    void threeImagesAreFiledAsNumberedJpegs()
    {
        Operator person;
        addPictures(person, 3);
        person.then(Operator::click(1));
        Variant objectSet;
        QVERIFY(acquire(objectSet));
        QCOMPARE(capture_test::objectCount(objectSet), 3);
        for (int index = 1; index <= 3; ++index) {
            const fs::path filed = m_import / (std::to_string(index) + ".jpg");
            QCOMPARE(capture_test::objectFilePath(objectSet, index), filed.string());
            QVERIFY(fs::file_size(filed) > 1000);
        }
        QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
    }

    // Guards against a cancelled acquisition handing the host the images added before it.
    void cancelAfterTwoAddsGivesAnEmptySetAndKeepsTheFiles()
    {
        Operator person;
        addPictures(person, 2);
        person.then(Operator::click(2));
        // The operator confirms that the two added pictures are to be discarded.
        m_prompt.answers = {hosting::PromptAnswer::Yes};
        Variant objectSet;
        QVERIFY(!acquire(objectSet));
        QCOMPARE(capture_test::objectCount(objectSet), 0);
        QVERIFY(fs::exists(m_import / "1.jpg") && fs::exists(m_import / "2.jpg"));
        QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
    }

    // Guards against acquiring into a folder that is not there.
    void missingImportFolderWithCancelGivesNothing()
    {
        fs::remove_all(m_import);
        m_prompt.answers = {hosting::PromptAnswer::Cancel};
        Variant objectSet;
        QVERIFY(!acquire(objectSet));
        QCOMPARE(capture_test::objectCount(objectSet), 0);
        QCOMPARE(m_prompt.questions.size(), size_t{1});
        QVERIFY(m_prompt.questions[0].rfind("The destination directory does not exist [", 0) == 0);
        QCOMPARE(camsdk::sim::initializeDepth(), 0);
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTests.moc"
