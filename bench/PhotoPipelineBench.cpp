// Photo pipeline figures: the capture dialog's processing of one 24-megapixel camera file
// through the imaging widget (load, orientation, two turns, size, resize to 800 high,
// redisplay and paint, 179 comment fields copied, save as format 98), beside the
// straightforward path and the bare JPEG decode of the same file; plus one live-view frame
// through the memory load. Prints the medians and checks that both paths give the same
// picture within JPEG noise.
//
// Threading: everything on the main (user-interface) thread.
#include "SamplePictures.h"
#include "imaging/ImageCtrl.h"
#include "imaging/ImagingWidget.h"

#include <turbojpeg.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kQuality = 92;
constexpr int kOrientation = 6;
constexpr int kExtraTurn = 90;
constexpr int kMaxHeight = 800;
constexpr int16_t kCompressionLevel = 20;  // JPEG quality 80
constexpr int kRounds = 11;
constexpr double kTargetMs = 100.0;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// CPU time of the calling thread: on a machine shared with other work it shows what the
// wall-clock time would be on a quiet one.
double threadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Figures {
    double wallMs;
    double cpuMs;
};

// Times each round of work (median wall-clock and thread CPU time); prepare runs untimed.
Figures medianOf(int rounds, const std::function<void(int)>& prepare, const std::function<void(int)>& work)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int round = 0; round < rounds; ++round) {
        prepare(round);
        const double cpuStart = threadCpuMilliseconds();
        const auto start = Clock::now();
        work(round);
        wall.push_back(milliseconds(Clock::now() - start));
        cpu.push_back(threadCpuMilliseconds() - cpuStart);
    }
    return {median(wall), median(cpu)};
}

bool copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 2;

    const QString source = folder.filePath(QStringLiteral("camera.jpg"));
    {
        const std::vector<uint8_t> bytes =
            imaging::samples::jpegWithExif(imaging::samples::detailedPicture(kWidth, kHeight, 42), kQuality, kOrientation);
        if (bytes.size() < 6u * 1000 * 1000 || !imaging::samples::writeFile(source, bytes)) {
            std::fprintf(stderr, "the generated picture is %zu bytes, fewer than a camera's\n", bytes.size());
            return 2;
        }
        std::printf("picture: %dx%d, quality %d, orientation %d, %.1f MB\n", kWidth, kHeight, kQuality, kOrientation,
                    static_cast<double>(bytes.size()) / 1e6);
    }
    const std::vector<uint8_t> sourceBytes = imaging::samples::readFile(source);

    // Each round works on a file it has not seen, as each shot is a new download.
    const auto roundFile = [&](int round) { return folder.filePath(QStringLiteral("IMG_%1.JPG").arg(round)); };
    const auto prepareCopy = [&](int round) { copyFile(source, roundFile(round)); };

    QWidget window;
    window.resize(560, 720);
    imaging::CImageCtrl preview(&window, QRect(10, 10, 524, 688), 1057);
    preview.SetBackColor(0x80000000u | 15u);
    window.show();

    const QString fastResult = folder.filePath(QStringLiteral("fast.jpg"));
    const Figures fast = medianOf(kRounds, prepareCopy, [&](int round) {
        if (imaging::samples::widgetPipeline(preview, roundFile(round), kExtraTurn, kMaxHeight, fastResult,
                                             kCompressionLevel)
            != 0)
            std::fprintf(stderr, "the widget pipeline failed\n");
        QCoreApplication::processEvents();  // the redisplay's paint
    });

    // Where one round's time goes, step by step.
    std::vector<std::pair<const char*, double>> steps;
    {
        copyFile(source, roundFile(0));
        auto mark = Clock::now();
        const auto step = [&](const char* name) {
            const auto now = Clock::now();
            steps.emplace_back(name, milliseconds(now - mark));
            mark = now;
        };
        preview.LoadFile(roundFile(0), 0, 0, 1);
        step("load");
        const int16_t orientation = preview.GetExifOrientation();
        step("orientation");
        preview.Rotate(orientation == 6 ? 270 : 0);
        preview.Rotate(kExtraTurn);
        const float width = preview.GetImageWidth();
        const float height = preview.GetImageHeight();
        preview.Resize(kMaxHeight * width / height, kMaxHeight, 2);
        step("turns, size, resize");
        preview.control().picture();
        step("decode, scale and turn");
        preview.Redisplay();
        QCoreApplication::processEvents();
        step("redisplay and paint");
        for (int16_t field = 0; field < 179; ++field)
            preview.SetCommentField(field, preview.GetCommentField(roundFile(0), 0, field));
        step("179 comment fields");
        preview.SaveFile(fastResult, 98, 0, kCompressionLevel, 0);
        step("save");
    }

    const QString naiveResult = folder.filePath(QStringLiteral("naive.jpg"));
    const Figures naive = medianOf(kRounds, prepareCopy, [&](int round) {
        if (!imaging::samples::naivePipeline(roundFile(round), kExtraTurn, kMaxHeight, naiveResult, 100 - kCompressionLevel))
            std::fprintf(stderr, "the straightforward pipeline failed\n");
    });

    tjhandle decoder = tjInitDecompress();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * 4);
    const Figures decode = medianOf(kRounds, [](int) {}, [&](int) {
        tjDecompress2(decoder, sourceBytes.data(), static_cast<unsigned long>(sourceBytes.size()), pixels.data(), kWidth,
                      0, kHeight, TJPF_BGRX, 0);
    });
    const tjscalingfactor quarter{1, 4};
    const Figures quarterDecode = medianOf(kRounds, [](int) {}, [&](int) {
        tjDecompress2(decoder, sourceBytes.data(), static_cast<unsigned long>(sourceBytes.size()), pixels.data(),
                      TJSCALED(kWidth, quarter), 0, TJSCALED(kHeight, quarter), TJPF_BGRX, 0);
    });
    tjDestroy(decoder);

    // One live-view frame as the picture box handles it: memory load, size, two mapped
    // points, a rectangle in inverting ink, a line, a quarter turn, redisplay and paint.
    const std::vector<uint8_t> frameBytes = imaging::samples::liveViewFrameFromSimulatedCamera();
    Figures frame{-1, -1};
    if (!frameBytes.empty()) {
        imaging::CImageCtrl liveView(&window, QRect(10, 10, 524, 688), 201);
        liveView.show();
        frame = medianOf(200, [](int) {}, [&](int) {
            liveView.LoadMemory(frameBytes.data(), 0, 0, 1, static_cast<int32_t>(frameBytes.size()));
            const float width = liveView.GetImageWidth();
            const float height = liveView.GetImageHeight();
            liveView.PixelToDrawing(width * 0.4F, height * 0.4F);
            const float x1 = liveView.GetDrawX();
            const float y1 = liveView.GetDrawY();
            liveView.PixelToDrawing(width * 0.6F, height * 0.6F);
            liveView.SetDrawRasterOp(6);
            liveView.DrawRectangle(x1, y1, liveView.GetDrawX() - x1, liveView.GetDrawY() - y1);
            liveView.SetDrawRasterOp(13);
            liveView.DrawLine(x1, y1, liveView.GetDrawX(), liveView.GetDrawY());
            liveView.Rotate(90);
            liveView.Redisplay();
            QCoreApplication::processEvents();
        });
    }

    const QImage fastImage = QImageReader(fastResult).read();
    const QImage naiveImage = QImageReader(naiveResult).read();
    const double difference = imaging::samples::meanAbsoluteDifference(fastImage, naiveImage);

    std::printf("median of %d rounds, milliseconds (wall clock / thread CPU time):\n", kRounds);
    const auto line = [](const char* name, const Figures& figures) {
        std::printf("  %-50s %8.1f / %8.1f\n", name, figures.wallMs, figures.cpuMs);
    };
    line("widget pipeline (deferred, reduced-scale decode)", fast);
    line("straightforward pipeline", naive);
    line("bare decode, tjDecompress2 full size (floor)", decode);
    line("bare decode, tjDecompress2 at 1/4", quarterDecode);
    line("live-view frame 1024x680, 715 .. 396 + paint (of 200)", frame);
    // The command-line decoder on the same file, process start included, where it is installed.
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (!djpeg.isEmpty()) {
        std::vector<double> runs;
        for (int round = 0; round < kRounds; ++round) {
            const auto started = std::chrono::steady_clock::now();
            QProcess process;
            process.start(djpeg, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), source});
            process.waitForFinished(-1);
            runs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
        }
        std::sort(runs.begin(), runs.end());
        std::printf("  %-50s %8.1f\n", "djpeg, whole file to /dev/null (wall clock)", runs[runs.size() / 2]);
    }
    std::printf("target: widget pipeline <= %.0f ms: %s (wall clock), %s (CPU time)\n", kTargetMs,
                fast.wallMs <= kTargetMs ? "met" : "MISSED", fast.cpuMs <= kTargetMs ? "met" : "MISSED");
    std::printf("one round of the widget pipeline, step by step, milliseconds:\n");
    for (const auto& [name, ms] : steps)
        std::printf("  %-30s %8.1f\n", name, ms);
    std::printf("result: %dx%d vs %dx%d, mean absolute difference %.2f (limit 3)\n", fastImage.width(),
                fastImage.height(), naiveImage.width(), naiveImage.height(), difference);
    const bool same = fastImage.size() == naiveImage.size() && difference >= 0 && difference <= 3.0;
    return same ? 0 : 1;
}
