// Shared set-up of the capture dialog's tests: the simulated camera behind the real camera
// framework, a dialog wired as the acquisition driver wires it, an owner window that files
// every added image as the host would, a prompt that answers as told, a private folder and log.
// Teardown follows the driver's order and checks that no SDK handle is left.
//
// Threading: UI thread; the camera framework runs its own threads underneath.
#pragma once

#include "dialog/CameraControlDlg.h"

#include <camera/CameraController.h>
#include <camera/CameraModel.h>
#include <camsdk/Simulator.h>
#include <hosting/Prompt.h>

#include <QString>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dialog::test {

// Receives "UWM_FireAddImage-" as the control does for the host: copies the saved image to
// N.jpg in its folder and raises the count, unless told to refuse.
class ImageReceiver final : public QWidget {
public:
    std::filesystem::path folder;
    std::vector<std::filesystem::path> received;
    bool refuse = false;

protected:
    bool event(QEvent* event) override;
};

// Answers each question with the next queued answer (No when none is queued) and keeps the texts.
class AnsweringPrompt final : public hosting::Prompt {
public:
    hosting::PromptAnswer show(std::string_view text, hosting::PromptButtons buttons) override;
    std::vector<std::string> questions;
    std::deque<hosting::PromptAnswer> answers;
};

class DialogFixture {
public:
    using SimAdjust = std::function<void(camsdk::sim::SimConfig&)>;
    using SettingsAdjust = std::function<void(control::CaptureSettings&)>;

    DialogFixture();
    ~DialogFixture();

    // Starts the SDK on the adjusted world, wires the dialog and shows it; waits for the
    // camera's connection unless told not to.
    void start(const SimAdjust& adjustSim = {}, const SettingsAdjust& adjustSettings = {}, bool waitConnected = true);
    // Waits until live view runs on the host.
    bool waitForLiveViewOnHost();
    // Clicks Take Picture and waits until the processed picture is ready.
    bool takePictureAndWait();
    // Ends the dialog if it still runs and tears down in the driver's order; returns the number
    // of SDK handles that were still live when the SDK was terminated.
    size_t finish();

    CCameraControlDlg& dialog() { return *m_dialog; }
    camera::CameraModel& model() { return *m_model; }
    QWidget* item(int id) { return m_dialog->item(id); }
    // The dialog's log lines with the tag, in order (message part only).
    QStringList logMessages(const QString& tag) const;
    // Saves a screenshot of the dialog under the screenshot folder.
    void screenshot(const QString& name);

    std::filesystem::path folder;
    std::filesystem::path importFolder;
    ImageReceiver receiver;
    AnsweringPrompt prompt;
    DialogTimings timings;
    bool multiMode = true;
    std::string viewName;

private:
    std::filesystem::path m_previousFolder;
    hosting::Prompt* m_previousPrompt = nullptr;
    CamCameraRef m_camera = nullptr;
    std::shared_ptr<camera::CameraModel> m_model;
    std::unique_ptr<camera::CameraController> m_controller;
    std::unique_ptr<CCameraControlDlg> m_dialog;
    bool m_sdkStarted = false;
};

// Pixel size and EXIF orientation of a JPEG file, read with exiv2 (0 when absent).
struct JpegFacts {
    int width = 0;
    int height = 0;
    long orientation = 0;
};
JpegFacts readJpegFacts(const std::filesystem::path& path);

} // namespace dialog::test
