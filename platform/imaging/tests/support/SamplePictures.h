// Pictures for the imaging tests and benchmarks: generated ones with fine detail everywhere
// (they compress like a camera's photos), shots from the simulated camera, and the
// straightforward photo pipeline the widget's deferred one is measured and checked against.
//
// Threading: call from the thread that owns the Qt application; the camera shot runs the
// simulated camera's SDK and waits for its event thread.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace imaging {
class CImageCtrl;
}

namespace imaging::samples {

// Noise over a texture, with a red block at the top-left corner and a blue one at the
// top-right corner so that turns can be told apart.
QImage detailedPicture(int width, int height, uint32_t seed = 1);

// The picture encoded at quality (4:2:0) with an EXIF block holding orientation, camera,
// exposure and date fields (orientation 0: no EXIF at all).
std::vector<uint8_t> jpegWithExif(const QImage& picture, int quality, int orientation);

bool writeFile(const QString& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const QString& path);

// Takes one picture with the simulated camera (a body with this EXIF orientation and shot
// size) and downloads it into folder; the file's path, or an empty text on failure.
QString shootWithSimulatedCamera(const QString& folder, int orientation, int width, int height);

// One live-view frame (a JPEG) from the simulated camera's built-in body; empty on failure.
std::vector<uint8_t> liveViewFrameFromSimulatedCamera();

// Mean absolute difference over the colour channels (0..255); -1 when the sizes differ.
double meanAbsoluteDifference(const QImage& first, const QImage& second);

// The dialog's processing of a downloaded file through the widget: load, turn by the EXIF
// orientation and by extraTurn, resize to maxHeight when taller, redisplay, copy the 179
// comment fields from the file; then save to target as format 98 at compressionLevel. The
// save's status (0 on success), or the first non-zero status before it.
int16_t widgetPipeline(CImageCtrl& control, const QString& source, int extraTurn, int maxHeight,
                       const QString& target, int16_t compressionLevel);

// The same done the straightforward way: a full decode with QImageReader, two QImage turns,
// a smooth scale, Qt's JPEG writer, and every comment field copied with its own exiv2
// parse of the source. True when the target was written.
bool naivePipeline(const QString& source, int extraTurn, int maxHeight, const QString& target, int quality);

} // namespace imaging::samples
