// Soak: N acquisitions in a row through the capture plug-in, as a host makes them, offscreen,
// each filing one automatically accepted picture from the simulated camera. Prints the images
// filed, the SDK handles still live after each cycle (when any are), and the process's
// resident memory at cycle 10 and at the last cycle.
//
//     vesk-soak-acquisition [N]      (N defaults to 200)
#include <automation/Dispatch.h>
#include <automation/Registry.h>
#include <camsdk/Simulator.h>
#include <hostapi/HostClasses.h>
#include <profile/Profile.h>

#include <QAbstractButton>
#include <QVariant>
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using automation::InvokeKind;
using automation::Variant;

long residentKilobytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Presses the simulated camera's own shutter once in every capture dialog, as soon as live
// view runs on the host.
class ShutterFinger final {
public:
    ShutterFinger()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_timer.start(50);
    }

private:
    void look()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            // Marked on the dialog itself: a later dialog may be built at a freed one's address.
            if (widget->objectName() != QStringLiteral("CCameraControlDlg") || !widget->isVisible() ||
                widget->property("shutterPressed").toBool()) {
                continue;
            }
            auto* button = widget->findChild<QAbstractButton*>(QStringLiteral("item1000"));
            if (button && button->isVisible() && button->isEnabled() &&
                button->text().startsWith(QStringLiteral("Take Picture"))) {
                camsdk::sim::pressPhysicalShutter(0);
                widget->setProperty("shutterPressed", true);
            }
        }
    }

    QTimer m_timer;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    char pattern[] = "/tmp/vesk-soak-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    fs::create_directories(folder / "import");
    fs::current_path(folder);
    setenv("VESK_REGISTRY", (folder / "registry.ini").c_str(), 1);
    for (const char* module : {VESK_HOST_MODULE, VESK_CAPTURE_MODULE, VESK_OBJSRC_MODULE}) {
        if (automation::registerModule(module) != automation::S_OK) {
            std::fprintf(stderr, "cannot register %s\n", module);
            return 1;
        }
    }
    const std::string store = (folder / "host.ini").string();
    vesk::profile::writeString(store, "0", "ImportTempPath", (folder / "import").string());
    vesk::profile::writeString(store, "Soak", "OSAutoAccept", "Y");
    vesk::profile::writeString(store, "Soak", "OSMaxImgHeight", "800");

    camsdk::sim::SimConfig camera = camsdk::sim::makeDefaultConfig();
    camera.propertyEventDelayMs = 1;
    camsdk::sim::configure(camera);

    automation::DispatchPtr config = automation::createObject(host::kConfigurationProgId);
    automation::invokeByName(*config, "StorePath", InvokeKind::PropertyPut, {Variant(store)});
    automation::DispatchPtr source = automation::createObject("VeskObjSrcCapture.clsObjSrcCapture");
    automation::invokeByName(*source, "SetConfig", InvokeKind::Method, {Variant(config), Variant("Soak")});

    ShutterFinger finger;
    int filed = 0;
    int cyclesWithLiveHandles = 0;
    long residentAtTen = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        Variant objectSet;
        automation::Arguments arguments{Variant::reference(objectSet), Variant(false)};
        const bool acquired = automation::invokeByName(*source, "Acquire", InvokeKind::Method, arguments).toBool();
        const int count = acquired ? automation::invokeByName(*objectSet.toDispatch(), "Count", InvokeKind::PropertyGet).toInt32() : 0;
        filed += count;
        const size_t live = camsdk::sim::handlesLiveAtLastTerminate();
        // The simulator journals every call for tests (up to 100,000): not the system's memory.
        camsdk::sim::clearJournal();
        if (live != 0) {
            ++cyclesWithLiveHandles;
            std::printf("cycle %d: %zu SDK handle(s) live at terminate\n", cycle, live);
        }
        if (!acquired || count != 1) {
            std::printf("cycle %d: acquired=%d, %d image(s)\n", cycle, acquired ? 1 : 0, count);
        }
        if (cycle == 10) {
            residentAtTen = residentKilobytes();
        }
    }
    const long residentAtEnd = residentKilobytes();
    std::printf("cycles: %d\nimages filed: %d\ncycles with live SDK handles at terminate: %d\n", cycles, filed,
                cyclesWithLiveHandles);
    std::printf("resident memory: cycle 10 %ld KB, cycle %d %ld KB (difference %+ld KB)\n", residentAtTen, cycles,
                residentAtEnd, residentAtEnd - residentAtTen);
    std::error_code ignored;
    fs::current_path("/");
    fs::remove_all(folder, ignored);
    return filed == cycles && cyclesWithLiveHandles == 0 ? 0 : 1;
}
