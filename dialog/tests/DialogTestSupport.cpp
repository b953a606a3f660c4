// Shared set-up of the capture dialog's tests.
#include "DialogTestSupport.h"

#include "dialog/AddImageMessage.h"

#include <camera/EventHandlers.h>
#include <config/LogFile.h>

#include <exiv2/exiv2.hpp>

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextStream>

#include <cstdlib>

namespace dialog::test {

namespace fs = std::filesystem;

bool ImageReceiver::event(QEvent* event)
{
    if (event->type() != AddImageMessage::type()) {
        return QWidget::event(event);
    }
    auto* message = static_cast<AddImageMessage*>(event);
    if (refuse) {
        return true;
    }
    const fs::path target = folder / (std::to_string(received.size() + 1) + ".jpg");
    std::error_code error;
    fs::copy_file(message->path(), target, fs::copy_options::overwrite_existing, error);
    if (error) {
        return true;
    }
    received.push_back(target);
    message->imageCount() = static_cast<int32_t>(received.size());
    message->setResult(0);
    return true;
}

hosting::PromptAnswer AnsweringPrompt::show(std::string_view text, hosting::PromptButtons)
{
    questions.emplace_back(text);
    if (answers.empty()) {
        return hosting::PromptAnswer::No;
    }
    const hosting::PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

DialogFixture::DialogFixture()
{
    camsdk::sim::reset();
    m_previousFolder = fs::current_path();
    char pattern[] = "/tmp/vesk-dialog-test-XXXXXX";
    folder = mkdtemp(pattern);
    importFolder = folder / "import";
    fs::create_directories(importFolder);
    fs::create_directories(folder / "received");
    receiver.folder = folder / "received";
    fs::current_path(folder);
    control::logFile().setFolder(folder.string() + "/");
    control::logFile().setFileName("dialog.log");
    control::logFile().setLevel(9);
    m_previousPrompt = hosting::installPrompt(&prompt);
    timings.liveViewAutoOffMs = 600000;
    timings.blinkMs = 20;
    timings.pannerMessageClearMs = 200;
    timings.panSpeedMessageClearMs = 100;
    timings.reconnectTickMs = 30;
    timings.focusBoxRepeatMs = 20;
}

DialogFixture::~DialogFixture()
{
    finish();
    hosting::installPrompt(m_previousPrompt);
    fs::current_path(m_previousFolder);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

void DialogFixture::start(const SimAdjust& adjustSim, const SettingsAdjust& adjustSettings, bool waitConnected)
{
    camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
    config.propertyEventDelayMs = 1;
    if (adjustSim) {
        adjustSim(config);
    }
    camsdk::sim::configure(config);
    QVERIFY(CamInitializeSDK() == CAM_ERR_OK);
    m_sdkStarted = true;
    CamCameraListRef list = nullptr;
    QVERIFY(CamGetCameraList(&list) == CAM_ERR_OK);
    QVERIFY(CamGetChildAtIndex(list, 0, &m_camera) == CAM_ERR_OK);
    CamRelease(list);
    CamDeviceInfo info{};
    QVERIFY(CamGetDeviceInfo(m_camera, &info) == CAM_ERR_OK);

    m_model = camera::createCameraModel(m_camera, info);
    m_model->setPropertyString(CAM_PROP_PRODUCT_NAME, info.szDeviceDescription);
    m_model->setPropertyString(CAM_PROP_BODY_ID, camsdk::sim::makeDefaultBody().bodyId);
    m_controller = std::make_unique<camera::CameraController>(m_model);
    void* context = static_cast<camera::ActionListener*>(m_controller.get());
    CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, &camera::handlePropertyEvent, context);
    CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, &camera::handleObjectEvent, context);
    CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, &camera::handleStateEvent, context);

    m_dialog = std::make_unique<CCameraControlDlg>();
    control::CaptureSettings& settings = m_dialog->settings();
    settings.ImportTempPath = importFolder.string() + "/";
    settings.photoCountPath = settings.ImportTempPath + control::kPhotoCountFileName;
    if (adjustSettings) {
        adjustSettings(settings);
    }
    m_dialog->SetCamera(m_model, m_controller.get());
    m_dialog->SetOwnerWindow(&receiver);
    m_dialog->SetTimings(timings);
    m_dialog->SetMultiMode(multiMode);
    m_dialog->SetViewName(viewName);
    m_dialog->show();
    if (waitConnected) {
        QTRY_VERIFY_WITH_TIMEOUT(m_dialog->isConnected(), 10000);
    }
}

bool DialogFixture::waitForLiveViewOnHost()
{
    return QTest::qWaitFor([this] { return m_dialog->liveViewToHost(); }, 10000);
}

bool DialogFixture::takePictureAndWait()
{
    QTest::mouseClick(item(1000), Qt::LeftButton);
    return QTest::qWaitFor([this] { return m_dialog->imageReady(); }, 20000);
}

size_t DialogFixture::finish()
{
    if (!m_sdkStarted) {
        return 0;
    }
    if (m_dialog && m_dialog->isVisible()) {
        // Ended as the host's limit ends it: without the questions Cancel may ask.
        m_dialog->done(kResultCancel);
    }
    if (m_camera) {
        CamRelease(m_camera);
        m_camera = nullptr;
    }
    m_dialog.reset();
    CamTerminateSDK();
    m_sdkStarted = false;
    m_model.reset();
    m_controller.reset();
    return camsdk::sim::handlesLiveAtLastTerminate();
}

QStringList DialogFixture::logMessages(const QString& tag) const
{
    QStringList messages;
    QFile file(QString::fromStdString((folder / "dialog.log").string()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return messages;
    }
    QTextStream stream(&file);
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        // "%-19.19s %-2.2ld [%-7.7lu] %-25s %s": the tag starts at column 33.
        if (line.size() > 33 && line.mid(33, 25).trimmed() == tag) {
            messages.append(line.mid(59));
        }
    }
    return messages;
}

void DialogFixture::screenshot(const QString& name)
{
    const QByteArray folderName = qgetenv("VESK_SCREENSHOT_DIR");
    const QString target = (folderName.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(folderName)) + "/" + name;
    QVERIFY(m_dialog->grab().save(target));
}

JpegFacts readJpegFacts(const fs::path& path)
{
    JpegFacts facts;
    auto image = Exiv2::ImageFactory::open(path.string());
    image->readMetadata();
    facts.width = image->pixelWidth();
    facts.height = image->pixelHeight();
    const Exiv2::ExifData& exif = image->exifData();
    const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found != exif.end()) {
        facts.orientation = found->toLong();
    }
    return facts;
}

} // namespace dialog::test
