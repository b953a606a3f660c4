// The acquisition form: configuration, the folder check, the modal show with the timer that
// starts DoAcquire on the embedded capture control, and the filing of AddImage events.
#include "adapter/ObjSrcCaptureForm.h"

#include "adapter/ImageImport.h"
#include "adapter/ObjSrcCaptureIds.h"
#include "automation/Registry.h"
#include "hosting/ControlWindow.h"
#include "hosting/Prompt.h"
#include "hosting/WaitCursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QVBoxLayout>

#include <functional>
#include <utility>

namespace adapter {

using automation::Arguments;
using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;

namespace {

constexpr int kInitTimerMs = 100;
constexpr int kCorrectedOwnerHeight = 733;
constexpr int kCorrectionDown = 26;

void showError(const char* operation, const std::string& description)
{
    hosting::currentPrompt().show(std::string(operation) + "\r\n" + description, hosting::PromptButtons::Ok);
}

// A new, empty set for the caller; nothing when the host cannot make one.
Variant replacementSet()
{
    try {
        return Variant(newObjectSet());
    } catch (const AutomationError&) {
        return Variant();
    }
}

} // namespace

// The sink advised on the control's events. It outlives neither the form's use of it nor
// the form: the form detaches it when it goes.
class CaptureEvents final : public automation::DispatchObject {
public:
    using Handler = std::function<void(const std::string&, Variant&)>;

    explicit CaptureEvents(Handler handler) : m_handler(std::move(handler))
    {
        addInterface(kCaptureEventsInterface);
        addMember("AddImage", kAddImageEventDispId, InvokeKind::Method, 2, [this](Arguments& arguments) {
            if (m_handler)
                m_handler(arguments[0].toString(), arguments[1]);
            return Variant();
        });
    }

    void detach() { m_handler = nullptr; }

private:
    Handler m_handler;
};

frmObjSrcCapture::frmObjSrcCapture(QWidget* owner)
    : m_sExtension("jpg"),
      m_layout(new QVBoxLayout(this)),
      m_captureEvents(automation::makeRef<CaptureEvents>(
          [this](const std::string& path, Variant& count) { m_oCapture_AddImage(path, count); }))
{
    setWindowTitle(QString::fromUtf8(kCaption));
    setModal(true);
    m_layout->setContentsMargins(0, 0, 0, 0);
    resize(400, 120);
    oInitTimer.setSingleShot(true);
    oInitTimer.setInterval(kInitTimerMs);
    connect(&oInitTimer, &QTimer::timeout, this, [this] { oInitTimer_Timer(); });
    setOwnerWindow(owner);
}

frmObjSrcCapture::~frmObjSrcCapture()
{
    m_captureEvents->detach();
    Form_Unload();
}

automation::DispatchPtr frmObjSrcCapture::captureEvents() const
{
    return automation::DispatchPtr(m_captureEvents);
}

void frmObjSrcCapture::setOwnerWindow(QWidget* owner)
{
    m_owner = owner;
}

bool frmObjSrcCapture::SetConfig(const Variant& cConfig, const std::string& sParentGroupId)
{
    if (!cConfig.toDispatch())
        return false;
    m_oConfig = Variant(cConfig.toDispatch());
    m_sParentGroupId = sParentGroupId;
    return ProcessConfig(m_oConfig, m_sParentGroupId);
}

bool frmObjSrcCapture::ProcessConfig(Variant& cConfig, const std::string& sParentGroupId)
{
    return adapter::ProcessConfig(m_settings, cConfig, sParentGroupId);
}

int32_t frmObjSrcCapture::Acquire(Variant& oObjectSet, bool fMultiMode)
{
    hosting::WaitCursor cursor;
    bool started = false;
    try {
        // A second acquisition from inside the first would end the first one's modal show.
        if (m_acquiring)
            throw AutomationError(automation::E_UNEXPECTED, "An acquisition is already running.");
        m_fMultiMode = fMultiMode;
        if (!oObjectSet.toDispatch())
            oObjectSet.assign(Variant(newObjectSet()));
        m_oObjectSet = oObjectSet.toDispatch();

        if (!confirmImportFolder(m_settings.m_sImportTempPath)) {
            oObjectSet.assign(Variant(newObjectSet()));
            return kReturnCancelled;
        }
        cursor.restore();

        if (!m_owner) {
            if (QWidget* active = QApplication::activeWindow(); active && active != this)
                setOwnerWindow(active);
        }
        m_acquiring = started = true;
        // Anything that ends the modal show other than the timer's DoAcquire is a cancel.
        m_nAcquireResult = kReturnCancelled;
        m_timerError.reset();
        Form_Load();
        oInitTimer.start();
        exec();
        Form_Unload();
        m_acquiring = started = false;
        QCoreApplication::processEvents();

        if (m_timerError)
            throw AutomationError(*std::exchange(m_timerError, std::nullopt));
        if (m_nAcquireResult == kReturnCancelled) {
            oObjectSet.assign(Variant(newObjectSet()));
            return kReturnCancelled;
        }
        oObjectSet.assign(Variant(m_oObjectSet));
        return kReturnSuccess;
    } catch (const std::exception& error) {
        if (started) {
            Form_Unload();
            m_acquiring = false;
        }
        const auto* automationError = dynamic_cast<const AutomationError*>(&error);
        showError("frmObjSrcCapture::Acquire", automationError ? automationError->text() : std::string(error.what()));
        oObjectSet.assign(replacementSet());
        cursor.restore();
        return kReturnFailed;
    }
}

int32_t frmObjSrcCapture::AddImage(const std::string& sFilePath)
{
    hosting::WaitCursor cursor;
    try {
        if (!m_oObjectSet)
            throw AutomationError(CTL_E_OBJECTNOTSET, "There is no object set to add the image to.");
        fileImage(*m_oObjectSet, m_settings, m_sExtension, sFilePath);
        return kReturnSuccess;
    } catch (const std::exception& error) {
        const auto* automationError = dynamic_cast<const AutomationError*>(&error);
        showError("frmObjSrcCapture::AddImage", automationError ? automationError->text() : std::string(error.what()));
        return kReturnFailed;
    }
}

void frmObjSrcCapture::m_oCapture_AddImage(const std::string& bstrFilePath, Variant& plImageCount)
{
    AddImage(bstrFilePath);
    // The dialog's counter follows the set, also when this image could not be filed.
    plImageCount.assign(Variant(m_oObjectSet ? objectCount(*m_oObjectSet) : int32_t{0}));
}

// Creates the capture control, listens to its events and embeds its window.
void frmObjSrcCapture::Form_Load()
{
    m_oCapture = automation::createObject(kCaptureControlProgId);
    // Without the events every image the operator adds would be lost, so that is an error.
    m_captureConnection = hosting::EventConnection(m_oCapture, kCaptureEventsInterface, captureEvents());
    if (m_oCapture->supportsInterface(hosting::kControlWindowInterface)) {
        if (QWidget* window = hosting::controlWindowOf(*m_oCapture).controlWindow()) {
            m_layout->addWidget(window);
            window->show();
            m_captureWindow = window;
        }
    }
}

// Ends the modal show and lets go of the control; the control gets its window back.
void frmObjSrcCapture::Form_Unload()
{
    oInitTimer.stop();
    m_captureConnection.disconnect();
    if (m_captureWindow) {
        m_layout->removeWidget(m_captureWindow);
        m_captureWindow->hide();
        m_captureWindow->setParent(nullptr);
    }
    m_captureWindow = nullptr;
    m_oCapture.reset();
    if (isVisible())
        done(QDialog::Accepted);
}

void frmObjSrcCapture::oInitTimer_Timer()
{
    oInitTimer.stop();
    if (!m_oCapture) {
        Form_Unload();
        return;
    }
    m_doAcquireRunning = true;
    try {
        // The view chooses the dialog's reference picture; a control without the property
        // acquires all the same.
        try {
            automation::invokeByName(*m_oCapture, "ImageView", InvokeKind::PropertyPut, {Variant(m_ImageView)});
        } catch (const AutomationError&) {
        }
        Variant group(m_sParentGroupId);
        Variant multiMode(m_fMultiMode);
        Arguments arguments{Variant(m_oConfig.toDispatch()), Variant::reference(group), Variant::reference(multiMode)};
        const bool acquired = automation::invokeByName(*m_oCapture, kDoAcquireName, InvokeKind::Method, arguments).toBool();
        m_nAcquireResult = acquired ? kReturnSuccess : kReturnCancelled;
    } catch (const AutomationError& error) {
        m_timerError = error;
    } catch (const std::exception& error) {
        m_timerError = AutomationError(automation::E_FAIL, error.what());
    }
    m_doAcquireRunning = false;
    Form_Unload();
}

void frmObjSrcCapture::Form_Resize()
{
    if (m_bMoved || !m_owner)
        return;
    if (m_owner->window()->frameGeometry().height() != kCorrectedOwnerHeight)
        return;
    m_bMoved = true;
    // Moved once the resize is over: a move from inside the first show's resize would be
    // taken before the window frame is known and land a frame's width off.
    QMetaObject::invokeMethod(this, [this] { move(pos() + QPoint(0, kCorrectionDown)); }, Qt::QueuedConnection);
}

void frmObjSrcCapture::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

// While DoAcquire runs the control's own dialog decides when the acquisition ends.
void frmObjSrcCapture::closeEvent(QCloseEvent* event)
{
    if (m_doAcquireRunning) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmObjSrcCapture::reject()
{
    if (m_doAcquireRunning)
        return;
    oInitTimer.stop();
    QDialog::reject();
}

} // namespace adapter
