// The listener of every action: turns each action string into a queued camera command, or for
// "closing" stops the worker. It owns the processor and shares the model with the driver.
//
// Threading: actionPerformed is called from any thread (the dialog's, the SDK's event
// thread); it only queues under the processor's lock, except "closing", which blocks up to
// 5 s. run and the destructor are called from the owner's thread; setDownloadFolder from any
// thread, normally by the owner before the event handlers are registered and before run.
#pragma once

#include "camera/ActionEvents.h"
#include "camera/CameraModel.h"
#include "camera/Command.h"
#include "camera/Processor.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace camera {

class CameraController final : public ActionListener {
public:
    static constexpr int32_t focusBoxStep = 128;

    explicit CameraController(std::shared_ptr<CameraModel> model);
    // Ends the worker if it still runs (waiting for it), then discards the queue.
    ~CameraController() override = default;

    void actionPerformed(const ActionEvent& event) override;

    // The folder every later "download" action writes into (see DownloadCommand); empty, the
    // default, for the process's current folder. Set it before the SDK's event handlers are
    // registered and before `run`, so that no picture goes elsewhere; a download already
    // queued keeps the folder it was queued with.
    void setDownloadFolder(std::string folder);
    std::string downloadFolder() const;

    // Starts the worker and queues the opening of the session.
    void run();
    // Queues at the back; false when nothing was queued (null, or the lock timed out).
    bool postCommand(std::unique_ptr<Command> command);

    CameraModel* model() const { return m_model.get(); }

private:
    // Nothing is queued for a value action without an argument.
    void setProperty(CamPropertyID property, std::optional<uint32_t> value);
    void setProperty(CamPropertyID property, uint32_t value);
    void setProperty(CamPropertyID property, CamPoint value);
    void moveFocusBox(int32_t dx, int32_t dy);

    // Declared before the processor so that it outlives the worker thread.
    std::shared_ptr<CameraModel> m_model;
    // Read on the SDK's event thread when a download is queued.
    mutable std::mutex m_folderMutex;
    std::string m_downloadFolder;
    Processor m_processor;
};

} // namespace camera
