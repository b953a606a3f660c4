// From the Take Picture click, with live view running on the host, to the processed preview
// shown: the capture dialog against the simulated camera taking 6000x4000 pictures, with the
// time split into the shot (click to download start), the download and the processing.
// Prints the medians of several rounds. Runs offscreen unless a platform is set.
// `--portrait-checks` runs the same cycle with the station's portrait checks on (front view)
// and adds the time from the preview shown to the findings shown.
#include "DialogTestSupport.h"

#include <camera/Observable.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Notes when the command thread announces the start and the end of each download.
class DownloadClock final : public camera::Observer {
public:
    void update(camera::Observable*, const camera::ModelEvent& event) override
    {
        std::lock_guard guard(m_mutex);
        if (event.name == "DownloadStart") {
            m_start = Clock::now();
        } else if (event.name == "DownloadComplete") {
            m_complete = Clock::now();
        }
    }
    std::pair<Clock::time_point, Clock::time_point> times()
    {
        std::lock_guard guard(m_mutex);
        return {m_start, m_complete};
    }

private:
    std::mutex m_mutex;
    Clock::time_point m_start;
    Clock::time_point m_complete;
};

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const bool portraitChecks = argc > 1 && std::strcmp(argv[1], "--portrait-checks") == 0;
    constexpr int rounds = 7;
    std::vector<double> shot;
    std::vector<double> download;
    std::vector<double> processing;
    std::vector<double> total;
    std::vector<double> findings;
    {
        dialog::test::DialogFixture fixture;
        if (portraitChecks) {
            fixture.viewName = "FaceFront";
        }
        fixture.start(
            [](camsdk::sim::SimConfig& config) {
                config.bodies.at(0).shotWidth = 6000;
                config.bodies.at(0).shotHeight = 4000;
                config.bodies.at(0).exifOrientation = 6;
            },
            [&](control::CaptureSettings& settings) {
                settings.OSMaxImgHeight = 800;
                settings.OSRotation = "90";
                settings.portraitChecks.enabled = portraitChecks;
            });
        DownloadClock clock;
        fixture.model().addObserver(&clock);
        for (int round = 0; round < rounds; ++round) {
            if (!fixture.waitForLiveViewOnHost()) {
                std::fprintf(stderr, "live view did not start\n");
                return 1;
            }
            const Clock::time_point clicked = Clock::now();
            if (!fixture.takePictureAndWait()) {
                std::fprintf(stderr, "no picture\n");
                return 1;
            }
            const Clock::time_point shown = Clock::now();
            const auto [started, completed] = clock.times();
            shot.push_back(milliseconds(started - clicked));
            download.push_back(milliseconds(completed - started));
            processing.push_back(milliseconds(shown - completed));
            total.push_back(milliseconds(shown - clicked));
            if (portraitChecks) {
                if (!QTest::qWaitFor([&] { return fixture.dialog().portraitChecked(); }, 20000)) {
                    std::fprintf(stderr, "no findings\n");
                    return 1;
                }
                findings.push_back(milliseconds(Clock::now() - shown));
            }
            QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
            QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        }
        fixture.model().removeObserver(&clock);
    }
    std::printf("Take Picture to processed preview, 6000x4000 simulated picture, portrait checks %s, median of %d "
                "rounds:\n",
                portraitChecks ? "on" : "off", rounds);
    std::printf("  total       %8.1f ms\n", median(total));
    std::printf("  shot        %8.1f ms  (click to download start: shutter, camera renders and stores the picture)\n",
                median(shot));
    std::printf("  download    %8.1f ms  (the camera's file into the current folder)\n", median(download));
    std::printf("  processing  %8.1f ms  (load, turn, scale to 800 high, show; until the picture is ready)\n",
                median(processing));
    if (portraitChecks) {
        std::printf("  findings    %8.1f ms  (after the preview: the checks on the 1200x800 picture, until shown)\n",
                    median(findings));
    }
    return 0;
}
