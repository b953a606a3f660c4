// The camera object source: plain storage for the view name and white balance, everything
// else through the acquisition form.
#include "adapter/ObjSrcCapture.h"

#include "adapter/ImageImport.h"
#include "adapter/ObjSrcCaptureForm.h"
#include "adapter/ObjSrcCaptureIds.h"

#include <QApplication>
#include <QThread>

namespace adapter {

using automation::Arguments;
using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;

clsObjSrcCapture::clsObjSrcCapture()
{
    addInterface(kObjSrcCaptureInterface);
    addMember("ImageView", kImageViewDispId, InvokeKind::PropertyPut, 1, [this](Arguments& arguments) {
        m_imageView = arguments[0].toString();
        return Variant();
    });
}

clsObjSrcCapture::~clsObjSrcCapture() = default;

frmObjSrcCapture& clsObjSrcCapture::form()
{
    if (!m_form) {
        // A form made without the host's widget application, or off its thread, would
        // abort the host instead of failing the call.
        const auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!application || QThread::currentThread() != application->thread())
            throw AutomationError(automation::E_UNEXPECTED,
                                  "The camera object source needs the host's widget application and its thread.");
        m_form = std::make_unique<frmObjSrcCapture>(QApplication::activeWindow());
    }
    return *m_form;
}

automation::DispatchPtr clsObjSrcCapture::LastError()
{
    return nullptr;
}

bool clsObjSrcCapture::SetConfig(automation::DispatchPtr config, std::string parentGroupId)
{
    return form().SetConfig(Variant(std::move(config)), parentGroupId);
}

bool clsObjSrcCapture::Acquire(Variant& objectSet, bool multiMode)
{
    objectSet.assign(Variant(newObjectSet()));
    frmObjSrcCapture& acquisitionForm = form();
    acquisitionForm.m_ImageView = m_imageView;
    return acquisitionForm.Acquire(objectSet, multiMode) == kReturnSuccess;
}

int16_t clsObjSrcCapture::WhiteBalance()
{
    return m_whiteBalance;
}

void clsObjSrcCapture::SetWhiteBalance(int16_t value)
{
    m_whiteBalance = value;
}

} // namespace adapter
