// The controller fixture: a running controller on the simulated camera, fed through an
// action source, with the SDK handlers registered on request.
//
// Threading: the test thread drives it; the worker and the SDK's event thread call back.
#pragma once

#include "CameraTestSupport.h"

#include "camera/ActionEvents.h"
#include "camera/CameraController.h"
#include "camera/EventHandlers.h"

#include <functional>
#include <memory>

namespace camera::test {

class ControllerTest : public CameraTest {
protected:
    void start(const std::function<void(camsdk::sim::SimConfig&)>& adjust = {})
    {
        startConnecting(adjust);
        ASSERT_TRUE(m_observer.waitFor("CameraConnected"));
        camsdk::sim::waitForEventsDelivered();
        camsdk::sim::clearJournal();
        m_observer.clear();
    }

    // Connects, makes the model and the controller and runs it, without waiting for the session.
    void startConnecting(const std::function<void(camsdk::sim::SimConfig&)>& adjust = {},
                         const std::function<void()>& beforeRun = {})
    {
        connect(adjust);
        m_model = createCameraModel(m_camera, m_deviceInfo);
        m_model->addObserver(&m_observer);
        m_controller = std::make_unique<CameraController>(m_model);
        m_source.addActionListener(m_controller.get());
        if (beforeRun) {
            beforeRun();
        }
        m_controller->run();
    }

    void registerHandlers()
    {
        void* context = static_cast<ActionListener*>(m_controller.get());
        ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, &handlePropertyEvent, context), 0u);
        ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, &handleObjectEvent, context), 0u);
        ASSERT_EQ(CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, &handleStateEvent, context), 0u);
        m_handlersRegistered = true;
    }

    void TearDown() override
    {
        if (m_handlersRegistered) {
            CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr);
            CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
            CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, nullptr, nullptr);
            camsdk::sim::waitForEventsDelivered();
        }
        if (m_controller) {
            m_source.fireAction("closing", nullptr);
            m_controller.reset();
        }
        CameraTest::TearDown();
    }

    // Queues a marker behind everything fired so far and waits until it ran: all of that has
    // been handled. The marker does not call the camera.
    void drain()
    {
        const std::size_t before = m_drained.labels().size();
        m_controller->postCommand(std::make_unique<ScriptCommand>(m_drained, "drained"));
        ASSERT_TRUE(m_drained.waitForSize(before + 1));
    }

    // Queues a marker that asks once to run again and waits for its second run: every command
    // fired so far has run, and every retry that was pending has had its turn.
    void settle()
    {
        const std::size_t before = m_drained.labels().size();
        m_controller->postCommand(std::make_unique<ScriptCommand>(m_drained, "settled", 1));
        ASSERT_TRUE(m_drained.waitForSize(before + 2));
    }

    ActionSource m_source;
    std::unique_ptr<CameraController> m_controller;
    RunLog m_drained;
    bool m_handlersRegistered = false;
};

} // namespace camera::test
