// The capture dialog's picture workflow: Take Picture, the processing of the downloaded file
// (load, turn upright and by the configured rotation, scale, comment fields), Add Image (save
// and hand over to the owner), and the ways the dialog ends: OK with its prompts, Cancel, the
// close box and automatic acceptance.
//
// Threading: UI thread.
#include <hosting/WaitCursor.h>
#include "dialog/AddImageMessage.h"
#include "dialog/CameraControlDlg.h"

#include <config/LogFile.h>
#include <controls/EvfPictureBox.h>
#include <controls/RoundButton.h>
#include <hosting/Prompt.h>
#include <imaging/ImageCtrl.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <cstdio>

namespace dialog {

void CCameraControlDlg::OnTakePicture()
{
    hosting::WaitCursor waitCursor;
    Log("DLG OnTakePicture", "", 4);
    SetErrorMsg("", true);
    if (!m_liveViewOn) {
        fireAction("TakePicture", nullptr);
    } else if (!m_liveViewToHost) {
        m_liveView->show();
        if (m_preview) {
            m_preview->hide();
        }
        fireAction("startEVF", nullptr);
    } else {
        if (m_preview) {
            m_preview->SetImageHandle(0);
        }
        ForgetPortraitCheck();
        if (m_model && m_model->propertyDesc(CAM_PROP_EVF_AF_MODE).numElements > 0) {
            fireAction("evfAfOff", nullptr);
        }
        fireAction("endEVF", nullptr);
        fireAction(m_useEvfFocus->isChecked() ? "TakePictureNonAF" : "TakePicture", nullptr);
        if (m_settings.ED_LogPhotoCount) {
            ++m_photoCount;
            WritePhotoCount();
        }
    }
    UpdateControls();
}

void CCameraControlDlg::OnDownloadComplete(const std::string& fileName)
{
    m_downloading = false;
    if (m_liveViewToHost) {
        // A picture taken with the camera's own button while live view runs here: live view
        // ends as Take Picture ends it, so that the picture can be looked at and accepted.
        if (m_model && m_model->propertyDesc(CAM_PROP_EVF_AF_MODE).numElements > 0) {
            fireAction("evfAfOff", nullptr);
        }
        fireAction("endEVF", nullptr);
    }
    bool ready = false;
    {
        hosting::WaitCursor waitCursor;
        SetStatusMsg("Loading image", true);
        SetProgress(0);
        Log("DLG OnDownloadComplete", fileName, 4);
        ForgetPortraitCheck();
        if (!fileName.empty() && m_preview) {
            ready = ProcessDownloadedFile(fileName);
        }
        SetStatusMsg("", false);
        m_progress->setValue(0);
        m_progress->hide();
    }
    if (ready) {
        // Checked once it is on screen, off this thread.
        SchedulePortraitCheck();
    }
    // Only a picture that could be processed is accepted by itself. Accepting it means adding
    // it: in multi-image mode OK would otherwise ask whether to save it, and a station running
    // unattended would answer no and lose the picture.
    if (ready && m_settings.OSAutoAccept) {
        if (m_multiMode && !SaveAndHandOver()) {
            return;
        }
        OnOK();
    }
}

bool CCameraControlDlg::ProcessDownloadedFile(const std::string& fileName)
{
    const QString path = QString::fromStdString(fileName);
    m_preview->SetProgressEvents(true);
    m_preview->SetDefaultFileFormat(98);
    m_preview->SetBusyCursor(true);
    if (const int16_t status = m_preview->LoadFile(path, 0, 0, 1); status != 0) {
        // The download stays where it is and nothing becomes ready: the operator sees why and
        // can take the picture again. A failed load leaves the preview empty, so nothing
        // earlier can be saved from it either.
        m_imageReady = false;
        char text[96];
        std::snprintf(text, sizeof text, "Unable to load image.  IMAGING ERROR [%ld]", static_cast<long>(status));
        SetErrorMsg(text, true);
        UpdateControls();
        return false;
    }

    SetStatusMsg("Processing Image [Rotate]", true);
    SetProgress(0);
    switch (m_preview->GetExifOrientation()) {
    case 3:
        m_preview->Rotate(180);
        break;
    case 6:
        m_preview->Rotate(270);
        break;
    case 8:
        m_preview->Rotate(90);
        break;
    default:
        break;
    }
    if (m_rotation != 0) {
        m_preview->Rotate(static_cast<int16_t>(m_rotation));
    }

    if (m_settings.OSMaxImgHeight > 0) {
        SetStatusMsg("Processing Image [Resize]", true);
        SetProgress(0);
        const float height = m_preview->GetImageHeight();
        const float width = m_preview->GetImageWidth();
        const auto maxHeight = static_cast<float>(m_settings.OSMaxImgHeight);
        if (maxHeight < height) {
            const float ratio = height > 0 ? width / height : 1.0F;
            m_preview->Resize(maxHeight * ratio, maxHeight, 2);
        }
    }

    m_liveView->hide();
    m_preview->show();
    m_preview->Redisplay();

    if (m_settings.ED_SaveExifData) {
        SetStatusMsg("Processing Image [EXIF data]", true);
        SetProgress(0);
        m_preview->SetFieldsFromFile(false);
        for (int16_t field = 0; field < 179; ++field) {
            m_preview->SetCommentField(field, m_preview->GetCommentField(path, 0, field));
        }
    }
    SetProgress(100);
    std::remove(fileName.c_str());
    m_imageReady = true;
    UpdateControls();
    return true;
}

void CCameraControlDlg::AddImage()
{
    SaveAndHandOver();
}

bool CCameraControlDlg::SaveAndHandOver()
{
    hosting::WaitCursor waitCursor;
    std::string logText = std::string("ImageReady=") + (m_imageReady ? "true" : "false") + " ";
    bool saved = true;
    if (m_imageReady) {
        SetStatusMsg("Processing Image [Save]", true);
        SetProgress(0);
        const int16_t result = m_preview ? m_preview->SaveFile(QString::fromStdString(m_tempImagePath),
                                                               m_settings.ED_SaveExifData ? 98 : 23, 0,
                                                               static_cast<int16_t>(m_settings.OSCompressionLevel), 0)
                                         : int16_t{-1};
        if (result != 0) {
            char text[96];
            std::snprintf(text, sizeof text, "Unable to save image.  IMAGING ERROR [%ld]", static_cast<long>(result));
            SetErrorMsg(text, true);
            saved = false;
        }
    }
    SetStatusMsg("", false);
    m_progress->setValue(0);
    m_progress->hide();
    // A failed save hands nothing over: the host would otherwise file whatever older file lies
    // at that path. The picture stays ready for another try, as it does when the operator
    // keeps back a picture that failed its portrait checks.
    const bool handOver = saved && (!m_imageReady || ConfirmPortraitBeforeHandOver());
    if (handOver) {
        SendAddImage();
    }
    UpdateControls();
    Log("DLG AddImage", logText, 4);
    return handOver;
}

bool CCameraControlDlg::SendAddImage()
{
    QWidget* owner = m_owner ? m_owner : parentWidget();
    if (!owner) {
        return false;
    }
    const int32_t before = m_imageCount;
    AddImageMessage message(m_tempImagePath, m_imageCount);
    QCoreApplication::sendEvent(owner, &message);
    if (message.result() == 0 && m_imageCount > before) {
        m_countText->setText(QString::number(m_imageCount));
        m_imageReady = false;
        return true;
    }
    return false;
}

std::string CCameraControlDlg::FireClosingOnce()
{
    if (m_closing) {
        return {};
    }
    m_closing = true;
    fireAction("closing", nullptr);
    return "fireEvent(closing)";
}

void CCameraControlDlg::OnOK()
{
    if (m_ended) {
        return;
    }
    const char* prompt = nullptr;
    if (m_multiMode && m_imageReady) {
        prompt = m_imageCount == 0 ? "You have not added any images.  Would you like to save the current image?"
                                   : "The current image was not added.  Would you like to save it?";
    }
    bool added = true;
    if (prompt) {
        if (hosting::currentPrompt().show(prompt, hosting::PromptButtons::YesNo) == hosting::PromptAnswer::Yes) {
            added = SaveAndHandOver();
        }
    } else if (!m_multiMode && m_imageReady) {
        added = SaveAndHandOver();
    }
    if (!added) {
        // The picture could not be saved: the dialog stays open with it, the error shown.
        return;
    }
    std::string logText = FireClosingOnce();
    ClosePanner();
    Log("DLG OnOK", logText, 4);
    done(kResultOk);
}

void CCameraControlDlg::SetImageCount(int32_t count)
{
    m_imageCount = count;
    m_countText->setText(QString::number(count));
    if (m_initialised) {
        UpdateControls();
    }
}

void CCameraControlDlg::OnCancel()
{
    if (m_ended) {
        return;
    }
    if (m_imageCount > 0) {
        // Cancel hands the host nothing: pictures already added are asked about first.
        char question[96];
        if (m_imageCount == 1) {
            std::snprintf(question, sizeof question, "1 picture has been added. Discard it?");
        } else {
            std::snprintf(question, sizeof question, "%ld pictures have been added. Discard them?",
                          static_cast<long>(m_imageCount));
        }
        if (hosting::currentPrompt().show(question, hosting::PromptButtons::YesNo) != hosting::PromptAnswer::Yes) {
            Log("DLG OnCancel", "discard declined", 4);
            return;
        }
    }
    std::string logText = FireClosingOnce();
    ClosePanner();
    Log("DLG OnCancel", logText, 4);
    done(kResultCancel);
}

void CCameraControlDlg::OnClose()
{
    ClosePanner();
    // As a click of Cancel, after the close has been handled.
    QTimer::singleShot(0, this, [this] { OnCancel(); });
    Log("DLG OnClose", "", 4);
}

void CCameraControlDlg::done(int result)
{
    if (m_ended) {
        return;
    }
    m_ended = true;
    for (auto& [timerId, timer] : m_timers) {
        timer.stop();
    }
    // Whoever ends the dialog (a button, the countdown, the host's own limit), the camera's
    // worker stops and the pan-tilt head is let go.
    FireClosingOnce();
    ClosePanner();
    QDialog::done(result);
}

void CCameraControlDlg::accept()
{
    OnOK();
}

void CCameraControlDlg::reject()
{
    OnCancel();
}

void CCameraControlDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (isVisible()) {
        OnClose();
    }
}

} // namespace dialog
