// The VeskCapture module: the control's automation face (DoAcquire, ImageView and the AddImage
// event), its empty property page, the type library and the four module exports.
//
// Threading: objects are used on the thread that created them (apartment threading); the
// exports may be called from any thread.
#include "control/VeskCaptureCtrl.h"
#include "control/VeskCaptureTypes.h"

#include <automation/Dispatch.h>
#include <automation/Events.h>
#include <automation/Registry.h>
#include <hosting/ConnectionPoints.h>
#include <hosting/ControlWindow.h>

#include <QPointer>

#include <array>
#include <strings.h>
#include <span>

namespace control {
namespace {

using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

// The control as automation objects see it: a dispatch object with the control's window, its
// members and its event source.
class VeskCaptureObject final : public automation::DispatchObject,
                                public hosting::ControlWindow,
                                public hosting::ConnectionPointContainer {
public:
    VeskCaptureObject()
    {
        addInterface(kControlInterface);
        addInterface(hosting::kControlWindowInterface);
        addInterface(hosting::kConnectionPointContainerInterface);
        addMember("DoAcquire", kDoAcquireDispId, InvokeKind::Method, 3, [this](Arguments& arguments) {
            return Variant(control().DoAcquire(arguments[0], arguments[1].toString(), arguments[2].toBool()));
        });
        addMember("ImageView", kImageViewDispId, InvokeKind::PropertyGet, 0,
                  [this](Arguments&) { return Variant(control().ImageView()); });
        addMember("ImageView", kImageViewDispId, InvokeKind::PropertyPut, 1, [this](Arguments& arguments) {
            control().SetImageView(arguments[0].toString());
            return Variant();
        });
    }

    ~VeskCaptureObject() override { delete m_window.data(); }

    QWidget* controlWindow() override { return &control(); }

    automation::EventSource* findConnectionPoint(std::string_view eventInterface) override
    {
        const std::string_view events(kEventInterface);
        const bool same = eventInterface.size() == events.size() &&
                          strncasecmp(eventInterface.data(), events.data(), events.size()) == 0;
        return same ? &m_events : nullptr;
    }

private:
    CVeskCaptureCtrl& control()
    {
        if (!m_window) {
            m_window = new CVeskCaptureCtrl();
            m_window->SetAddImageHandler([this](const std::string& filePath, int32_t& imageCount) {
                // The event's count is an in/out argument: the handler writes the host's count.
                Variant count(imageCount);
                Arguments arguments{Variant(filePath), Variant::reference(count)};
                m_events.fire(kAddImageDispId, arguments);
                imageCount = count.toInt32();
            });
        }
        return *m_window;
    }

    QPointer<CVeskCaptureCtrl> m_window;
    automation::EventSource m_events;
};

// The control's property page: a placeholder that offers no setting.
class VeskCapturePropertyPage final : public automation::DispatchObject {
public:
    VeskCapturePropertyPage()
    {
        addInterface("IPropertyPage");
        addMember("Caption", 1, InvokeKind::PropertyGet, 0, [](Arguments&) { return Variant(kPropertyPageCaption); });
    }
};

constexpr automation::TypeLibraryInfo kTypeLibrary{kTypeLibraryId, kTypeLibraryName, "1.0", 1033,
                                                   "VeskCapture ActiveX Control module"};

std::span<const automation::ClassInfo> moduleClasses()
{
    static const std::array classes{
        automation::ClassInfo{kControlClassId, kControlProgId, "VeskCapture Control",
                              &automation::defaultFactory<VeskCaptureObject>},
        automation::ClassInfo{kPropertyPageClassId, kPropertyPageProgId, "VeskCapture Property Page",
                              &automation::defaultFactory<VeskCapturePropertyPage>},
    };
    return classes;
}

const char moduleAnchor = 0;

} // namespace
} // namespace control

extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer()
{
    return automation::module::registerServer(control::kTypeLibrary, control::moduleClasses(), &control::moduleAnchor);
}

extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer()
{
    return automation::module::unregisterServer(control::kTypeLibrary, control::moduleClasses());
}

extern "C" __attribute__((visibility("default"))) int32_t DllGetClassObject(const char* classId, const char* interfaceId,
                                                                            void** factory)
{
    return automation::module::getClassObject(control::moduleClasses(), classId, interfaceId, factory);
}

// The module stays loaded once loaded: its windows and threads may outlive any one object.
extern "C" __attribute__((visibility("default"))) int32_t DllCanUnloadNow()
{
    return automation::S_FALSE;
}
