// DoAcquire end to end through the automation layer: the real VeskHost and VeskCapture modules
// registered in a private registry, the control created by its ProgID, the simulated camera
// behind the SDK, an operator that uses the dialog's buttons as a person would, and prompts
// answered through the prompt interface.
#include <automation/Dispatch.h>
#include <automation/Registry.h>
#include <camsdk/Simulator.h>
#include <capture_test/CaptureTestSupport.h>
#include <control/VeskCaptureCtrl.h>
#include <control/VeskCaptureTypes.h>
#include <hostapi/HostClasses.h>
#include <hosting/ConnectionPoints.h>
#include <hosting/ControlWindow.h>
#include <hosting/Prompt.h>
#include <profile/Profile.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

namespace control::test {
namespace {

using capture_test::Operator;

// The command framework's pause before a busy camera is asked again.
constexpr std::chrono::milliseconds kRetryPause{500};
using capture_test::QueuedPrompt;

namespace fs = std::filesystem;
using automation::Variant;

// The host's side of AddImage: files each image as N.jpg and writes the number filed back.
class AddImageSink final : public automation::DispatchObject {
public:
    explicit AddImageSink(fs::path folder) : m_folder(std::move(folder))
    {
        addMember("AddImage", kAddImageDispId, automation::InvokeKind::Method, 2, [this](automation::Arguments& arguments) {
            const fs::path target = m_folder / (std::to_string(filed.size() + 1) + ".jpg");
            fs::copy_file(arguments[0].toString(), target, fs::copy_options::overwrite_existing);
            filed.push_back(target);
            arguments[1].assign(Variant(static_cast<int32_t>(filed.size())));
            return Variant();
        });
    }
    std::vector<fs::path> filed;

private:
    fs::path m_folder;
};

} // namespace

class AcquisitionTest final : public QObject {
    Q_OBJECT

private:
    fs::path m_folder;
    fs::path m_import;
    std::string m_store;
    Variant m_config;
    automation::DispatchPtr m_control;
    automation::Ref<AddImageSink> m_sink;
    hosting::EventConnection m_connection;
    QueuedPrompt m_prompt;
    hosting::Prompt* m_previousPrompt = nullptr;

    void setting(const std::string& group, const std::string& key, const std::string& value)
    {
        QVERIFY(vesk::profile::writeString(m_store, group, key, value));
    }

    bool acquire(bool multiMode = true)
    {
        return automation::invokeByName(*m_control, "DoAcquire", automation::InvokeKind::Method,
                                        {m_config, Variant("Station7"), Variant(multiMode)})
            .toBool();
    }

    QStringList logLines(const QString& tag) const
    {
        QStringList lines;
        for (const auto& entry : fs::directory_iterator(m_import)) {
            if (entry.path().filename().string().rfind("VeskCapture_", 0) != 0) {
                continue;
            }
            std::ifstream file(entry.path());
            for (std::string line; std::getline(file, line);) {
                const QString text = QString::fromStdString(line);
                if (text.size() > 33 && text.mid(33, 25).trimmed() == tag) {
                    lines.append(text.mid(59));
                }
            }
        }
        return lines;
    }

    void useBodies(std::vector<camsdk::sim::BodyConfig> bodies)
    {
        camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
        config.bodies = std::move(bodies);
        config.propertyEventDelayMs = 1;
        camsdk::sim::configure(config);
    }

private slots:
    void init()
    {
        camsdk::sim::reset();
        char pattern[] = "/tmp/vesk-acquisition-test-XXXXXX";
        m_folder = mkdtemp(pattern);
        m_import = m_folder / "import";
        fs::create_directories(m_import);
        fs::create_directories(m_folder / "host");
        fs::current_path(m_folder);
        qputenv("VESK_REGISTRY", QByteArray::fromStdString((m_folder / "registry.ini").string()));
        QCOMPARE(automation::registerModule(VESK_HOST_MODULE), automation::S_OK);
        QCOMPARE(automation::registerModule(VESK_CAPTURE_MODULE), automation::S_OK);
        m_store = (m_folder / "host.ini").string();
        automation::DispatchPtr config = automation::createObject(host::kConfigurationProgId);
        automation::invokeByName(*config, "StorePath", automation::InvokeKind::PropertyPut, {Variant(m_store)});
        m_config = Variant(config);
        setting("0", "ImportTempPath", m_import.string());
        setting("0", "DebugLogLevel", "9");
        m_control = automation::createObject(kControlProgId);
        hosting::controlWindowOf(*m_control).controlWindow()->resize(300, 80);
        m_sink = automation::makeRef<AddImageSink>(m_folder / "host");
        m_connection = hosting::EventConnection(m_control, kEventInterface, m_sink);
        m_prompt.questions.clear();
        m_prompt.answers.clear();
        m_previousPrompt = hosting::installPrompt(&m_prompt);
    }

    void cleanup()
    {
        hosting::installPrompt(m_previousPrompt);
        m_connection.disconnect();
        m_control = nullptr;
        m_sink = nullptr;
        injectCycleFaults(0);
        std::error_code ignored;
        fs::current_path("/");
        fs::remove_all(m_folder, ignored);
    }

    // Guards against images lost between the dialog and the host, a count that is not the
    // host's, or an acquisition ended with OK reported as a failure; and against handles left
    // alive at the end.
    void threeImagesInOneAcquisition()
    {
        Operator person;
        for (int image = 0; image < 3; ++image) {
            if (image > 0) {
                person.then(Operator::click(1000)); // live view again
            }
            person.then(Operator::shoot());
            person.then(Operator::click(1061));
        }
        person.then(Operator::click(1));
        QVERIFY(acquire());
        QVERIFY(person.done());
        QCOMPARE(m_sink->filed.size(), size_t{3});
        for (const fs::path& file : m_sink->filed) {
            QVERIFY(fs::file_size(file) > 1000);
        }
        QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
        QCOMPARE(logLines(QStringLiteral("CTL DoAcquire")).last(), QStringLiteral("RetryAcquire=0 ReturnCode=1"));
    }

    // Guards against Cancel reported as success after images were added, and against added
    // pictures discarded by Cancel without asking.
    void cancelAfterTwoImagesReturnsFalse()
    {
        Operator person;
        for (int image = 0; image < 2; ++image) {
            if (image > 0) {
                person.then(Operator::click(1000));
            }
            person.then(Operator::shoot());
            person.then(Operator::click(1061));
        }
        person.then(Operator::click(2));
        // The first Cancel is declined at the question about the added pictures, the second taken.
        person.then([](QWidget& dialog) { return dialog.isVisible(); });
        person.then(Operator::click(2));
        m_prompt.answers = {hosting::PromptAnswer::No, hosting::PromptAnswer::Yes};
        QVERIFY(!acquire());
        QCOMPARE(m_prompt.questions, (std::vector<std::string>{"2 pictures have been added. Discard them?",
                                                                "2 pictures have been added. Discard them?"}));
        QCOMPARE(m_sink->filed.size(), size_t{2});
        QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
    }

    // Guards against a Body ID compared with regard to case, or a negative Body ID not matched
    // by its unsigned form: the second of two bodies is the one selected.
    void bodyIdSelectsTheMatchingBody()
    {
        struct Case {
            const char* reported;
            const char* configured;
        };
        for (const Case& entry : {Case{"ab12CD", "AB12cd"}, Case{"-5", "4294967291"}}) {
            camsdk::sim::BodyConfig first = camsdk::sim::makeDefaultBody();
            camsdk::sim::BodyConfig second = camsdk::sim::makeDefaultBody();
            first.bodyId = "111";
            second.bodyId = entry.reported;
            second.modelName = "Second Body";
            useBodies({first, second});
            setting("Station7", "ED_BodyID", entry.configured);
            QString title;
            Operator person;
            person.then([&](QWidget& dialog) {
                auto* edit = qobject_cast<QLineEdit*>(Operator::item(dialog, 1084));
                title = edit ? edit->text() : QString();
                return !title.isEmpty();
            });
            person.then(Operator::click(2));
            QVERIFY(!acquire());
            QCOMPARE(title, QStringLiteral("Second Body"));
            QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
        }
    }

    // Guards against searching on after Cancel, or more boxes than attempts: Cancel at the
    // second attempt stops there; four Retries and a fifth failure show exactly four boxes.
    void retryBoxesWhenNoCameraIsFound()
    {
        useBodies({});
        m_prompt.answers = {hosting::PromptAnswer::Retry, hosting::PromptAnswer::Cancel};
        QVERIFY(!acquire());
        QCOMPARE(m_prompt.questions.size(), size_t{2});
        QCOMPARE(m_prompt.questions[0], std::string("Unable to detect a supported camera.\r\n"
                                                    "Please verify the camera is connected and powered on."));
        QVERIFY(logLines(QStringLiteral("CTL SetStatusMsg")).last() == QStringLiteral("No compatible cameras detected."));
        QCOMPARE(camsdk::sim::initializeDepth(), 0);

        m_prompt.questions.clear();
        m_prompt.answers = {hosting::PromptAnswer::Retry, hosting::PromptAnswer::Retry, hosting::PromptAnswer::Retry,
                            hosting::PromptAnswer::Retry};
        QVERIFY(!acquire());
        QCOMPARE(m_prompt.questions.size(), size_t{4});
    }

    // Guards against a lost camera ending the acquisition instead of starting it again: the
    // dialog counts down, the cycle repeats, and OK in the new cycle is the result.
    void disconnectStartsANewCycle()
    {
        setting("Station7", "ED_DisconnectTimer", "1");
        Operator person;
        person.then(Operator::shoot());
        person.then(Operator::click(1061));
        person.then(Operator::run([] { camsdk::sim::disconnect(0); }));
        person.then([](QWidget& dialog) {
            // The countdown runs: the camera is back for the next search.
            const bool counting = !Operator::usable(dialog, 1000);
            if (counting) {
                camsdk::sim::reconnect(0);
            }
            return counting;
        });
        // The new cycle's dialog carries the picture added before the camera was lost.
        person.then([](QWidget& dialog) {
            auto* count = qobject_cast<QLabel*>(Operator::item(dialog, 1063));
            return Operator::usable(dialog, 1000) && count && count->text() == QStringLiteral("1");
        });
        person.then(Operator::shoot());
        // OK is open from the count alone: wait for the new picture before taking it.
        person.then([](QWidget& dialog) { return Operator::usable(dialog, 1061); });
        person.then(Operator::click(1));
        // OK with the new cycle's picture ready asks whether to add it.
        m_prompt.answers = {hosting::PromptAnswer::Yes};
        QVERIFY(acquire());
        const QStringList results = logLines(QStringLiteral("CTL DoAcquire")).filter(QStringLiteral("RetryAcquire="));
        QCOMPARE(results, (QStringList{"RetryAcquire=1 ReturnCode=0", "RetryAcquire=0 ReturnCode=1"}));
        QCOMPARE(m_sink->filed.size(), size_t{2});
        QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
    }

    // Guards against a fault that throws in every cycle holding the host forever, while one
    // that passes is recycled over.
    void exceptionCyclesAreRecycledButBounded()
    {
        auto& control = static_cast<CVeskCaptureCtrl&>(*hosting::controlWindowOf(*m_control).controlWindow());
        control.SetRecycleStep(std::chrono::milliseconds(1));
        injectCycleFaults(1);
        Operator person;
        person.then(Operator::click(2));
        QVERIFY(!acquire());
        QVERIFY(person.done());
        QVERIFY(m_prompt.questions.empty());
        QVERIFY(logLines(QStringLiteral("CTL SetStatusMsg")).contains(QStringLiteral("Recycling the camera system (SDK).  Retry in 1")));

        injectCycleFaults(100);
        QVERIFY(!acquire());
        QCOMPARE(m_prompt.questions.size(), size_t{1});
        QCOMPARE(logLines(QStringLiteral("CTL DoAcquire")).filter(QStringLiteral("An unexpected exception")).size(), 4);
        QCOMPARE(camsdk::sim::initializeDepth(), 0);
    }

    // Camera-list calls made since the journal was last cleared.
    static int cameraListCalls()
    {
        int calls = 0;
        for (const camsdk::sim::Call& call : camsdk::sim::journal()) {
            calls += call.function == "CamGetCameraList" ? 1 : 0;
        }
        return calls;
    }

    // Guards against a camera that is there but busy being taken for a missing one (a
    // Retry/Cancel box) or used up in attempts run back to back: busy and not-ready answers,
    // from the session opened during the search or from the camera list, wait the retry pause
    // and the third attempt finds the camera.
    void busyCameraIsSearchedAgainAfterAPause()
    {
        struct Case {
            const char* function;
            CamError code;
        };
        for (const Case& entry : {Case{"CamOpenSession", CAM_ERR_DEVICE_BUSY}, Case{"CamGetCameraList", CAM_ERR_OBJECT_NOTREADY}}) {
            camsdk::sim::clearJournal();
            camsdk::sim::injectFault(entry.function, entry.code, 2);
            const auto started = std::chrono::steady_clock::now();
            std::chrono::steady_clock::duration untilDialog{};
            Operator person;
            person.then([&](QWidget&) {
                untilDialog = std::chrono::steady_clock::now() - started;
                return true;
            });
            person.then(Operator::click(2));
            QVERIFY(!acquire());
            QVERIFY2(person.done(), entry.function);
            QVERIFY(m_prompt.questions.empty());
            QCOMPARE(cameraListCalls(), 3);
            QVERIFY2(untilDialog >= 2 * kRetryPause, entry.function);
            QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
        }
    }

    // Guards against a search that stops one attempt short: four Retry answers are followed by
    // a fifth search of the camera list, which the number of boxes alone does not show.
    void fourRetriesLeadToAFifthSearch()
    {
        useBodies({});
        camsdk::sim::clearJournal();
        m_prompt.answers = {hosting::PromptAnswer::Retry, hosting::PromptAnswer::Retry, hosting::PromptAnswer::Retry,
                            hosting::PromptAnswer::Retry};
        QVERIFY(!acquire());
        QCOMPARE(cameraListCalls(), 5);
        QCOMPARE(m_prompt.questions.size(), size_t{4});
    }

    // Guards against the reconnect countdown overflowing (the setting + 1) with the largest
    // 32-bit setting: the countdown starts from an hour.
    void hugeDisconnectTimerCountsDownFromAnHour()
    {
        setting("Station7", "ED_DisconnectTimer", "2147483647");
        QString message;
        Operator person;
        person.then([](QWidget& dialog) { return Operator::usable(dialog, 1000); });
        person.then(Operator::run([] { camsdk::sim::disconnect(0); }));
        person.then([&](QWidget& dialog) {
            auto* line = qobject_cast<QLabel*>(Operator::item(dialog, 1042));
            message = line ? line->text() : QString();
            return message.startsWith(QStringLiteral("Camera disconnected"));
        });
        person.then(Operator::click(2));
        QVERIFY(!acquire());
        QVERIFY(person.done());
        QCOMPARE(message, QStringLiteral("Camera disconnected\nAttempting to reconnect in 3600"));
    }
    // Guards against pictures added before the camera was lost being dropped when it never
    // comes back (the search after the countdown is cancelled): the acquisition succeeds with
    // them. Also guards against the wait cursor over the operator's dialog, and against the
    // temporary picture or a download folder left in the import folder.
    void picturesAddedBeforeALostCameraReachTheHost()
    {
        setting("Station7", "ED_DisconnectTimer", "1");
        bool waitCursorOverDialog = true;
        Operator person;
        person.then(Operator::shoot());
        person.then([&](QWidget&) {
            waitCursorOverDialog = QGuiApplication::overrideCursor() != nullptr;
            return true;
        });
        person.then(Operator::click(1061));
        person.then(Operator::run([] { camsdk::sim::disconnect(0); }));
        m_prompt.answers = {hosting::PromptAnswer::Cancel};
        QVERIFY(acquire());
        QVERIFY(person.done());
        QVERIFY(!waitCursorOverDialog);
        QCOMPARE(m_sink->filed.size(), size_t{1});
        QVERIFY(logLines(QStringLiteral("CTL DoAcquire")).contains(QStringLiteral("Ending with the 1 image(s) already added")));
        QCOMPARE(m_prompt.questions.size(), size_t{1});
        for (const auto& entry : fs::directory_iterator(m_import)) {
            const std::string name = entry.path().filename().string();
            QVERIFY2(name != "tmpCapture.jpg" && name.rfind(".VeskCapture-", 0) != 0, name.c_str());
        }
        QCOMPARE(camsdk::sim::handlesLiveAtLastTerminate(), size_t{0});
    }
};

} // namespace control::test

QTEST_MAIN(control::test::AcquisitionTest)
#include "AcquisitionTests.moc"
