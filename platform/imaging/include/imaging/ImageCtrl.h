// CImageCtrl: the window through which the system calls every imaging operation. It creates
// the imaging widget as its child, over its whole client area, and invokes it by DISPID, as
// a generated wrapper class would; the typed methods below are that wrapper.
//
// Threading: user-interface thread only, like every widget.
//
// What the widget does with the calls (the choices the imaging contract leaves open):
// - LoadFile / LoadMemory take a JPEG (decoded by TurboJPEG) or any other picture Qt reads
//   (PNG, ...), whatever the file is named. Pictures over MaxPixels (200 megapixels) are
//   refused from their header, before decoding (ImageTooLarge); so is, as BadImageData, a
//   picture of any format whose header does not give its size, or that claims more than
//   16 megapixels in far too few bytes (a bare BMP or PNG header). bitsPerPixel 0, 24 or 32 (all load as 24-bit
//   colour), firstPage 0 and pageCount 0 or 1 are accepted; anything else is Unsupported. A
//   failed load leaves no image. Decoding a file is deferred until the pixels are needed, so
//   that a following turn and downscale cost only what the smaller result needs; width,
//   height and orientation are known at once. A truncated JPEG, a broken marker structure or
//   data too short for the size its header claims gives BadImageData at the load; damage
//   inside the compressed data (any decoder warning counts) shows when the pixels are
//   decoded: the step that needs them (drawing, saving, painting) returns BadImageData and
//   the image is dropped. LoadMemory decodes at once and never keeps the caller's bytes.
// - SaveFile: the quality argument is the configured compression level, higher compresses
//   more: JPEG quality = 100 - level, limited to 1..100 (the default level 20 gives 80).
//   Format 23 writes a plain JPEG without EXIF; format 98 a JPEG whose EXIF carries the
//   comment fields set on the image, with orientation 1 and the saved pixels' dimensions
//   whatever the fields said (the pixels are already turned); no thumbnail is written.
//   A format 23 file has no orientation tag, which readers take as 1. Format 0 means the
//   DefaultFileFormat setting. bitsPerPixel 0 or 24, multiPage 0. The file is replaced
//   atomically: a failed save leaves what was there before.
// - Rotate turns counter-clockwise by 90, 180 or 270 degrees (any multiple of 90 is taken),
//   so that the turns of the EXIF orientations (6 by 270, 8 by 90, 3 by 180) make a
//   picture upright. Resize scales to the given size
//   (flags bit 2 set: smooth resampling, else nearest pixel); sizes are rounded to whole
//   pixels, at least 1; negative sizes and results over MaxPixels are InvalidArgument.
// - Comment fields: 179 fields, a fixed table of ours from field index to EXIF tag (camera
//   make and model, exposure, lens and dates first; see CommentFieldTable.cpp).
//   GetCommentField reads field i of a file: a string for text and fraction tags, a long
//   for single whole numbers; an empty variant when the file lacks the field or its EXIF
//   cannot be read. SetCommentField sets field i on the loaded image (an empty variant
//   removes it); a value the tag cannot hold is ignored. A file's EXIF is parsed once for
//   all its field reads (cached by path, modification time and size).
// - ExifOrientation reports the loaded image's EXIF orientation (1 when it has none or its
//   EXIF cannot be read, 0 without an image). The pixels are never turned by it.
// - Drawing coordinates are the widget's own pixel coordinates: PixelToDrawing converts a
//   point of the image (in image pixels) to where it is shown in the widget, with the result
//   in DrawX / DrawY. DrawRectangle and DrawLine draw into the image's pixels at those
//   coordinates, so drawings turn, scale and save with the image. The pen is DrawWidth
//   widget pixels wide, in DrawColor; raster operation 6 inverts what is under the pen.
// - The widget paints its image scaled to fit, aspect kept, centred, on its back colour.
//
// Display and drawing settings (property puts; the widget keeps every value it is given):
//   2   AutoRepaint     bool  repaint after every change without waiting for Redisplay (false)
//   7   ProgressEvents  bool  raise the progress event while loading and saving (false)
//   20  FieldsFromFile  bool  a file load takes the file's own comment fields as the
//                             image's (false: a loaded image starts without fields)
//   55  DisplayFilter   short 0 paints with nearest pixels, any other value smooth (3)
//   139 FitMode         short 0 shows the picture at its size, centred; any other value fits
//                             it to the widget (3)
//   149 DrawingEnabled  bool  DrawRectangle / DrawLine draw only when true (true)
//   150 DrawRasterOp    short 13 copy pen, 6 invert, 7 xor pen, 4 not copy pen, 1 black,
//                             16 white (13)
//   151 DrawColor       colour 0x00BBGGRR (0xFFFFFF)
//   152 DrawWidth       short pen width in widget pixels, at least 1 (1)
//   153 DrawFillStyle   short 0 outline only, 1 rectangles filled with the pen (0)
//   155 DrawStyle       short 1 solid, 2 dashed, 3 dotted, others solid (1)
//   160 BusyCursor      bool  show the wait cursor while loading, processing and saving (false)
//   264 MousePointer    short 0 the parent's cursor, 1 arrow, 2 cross, 3 pointing hand (0)
//   269 DefaultFileFormat short format SaveFile uses when given format 0 (23)
//   337 KeepAspect      bool  fitting keeps the picture's aspect (true)
//   -501 BackColor      colour 0x00BBGGRR, painted around the picture (0x000000); with the
//                             high bit set a system colour by index (0x8000000F button face)
//   -504 BorderStyle    short 0 none, 1 a one-pixel frame (0)
#pragma once

#include "automation/Dispatch.h"
#include "imaging/DispIds.h"

#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace imaging {

class ImagingWidget;

class CImageCtrl final : public QWidget {
    Q_OBJECT

public:
    // Creates the window with its imaging widget; id is the window's identifier (the
    // object name becomes "item<id>").
    CImageCtrl(QWidget* parent, const QRect& geometry, int id);
    ~CImageCtrl() override;

    int id() const { return m_id; }
    // The imaging widget this window carries.
    ImagingWidget& control() const { return *m_control; }
    // The widget's dispatch interface (for generic callers and event sinks).
    automation::DispatchPtr dispatch() const;
    // Invokes the widget by DISPID. Raises automation::AutomationError for an unknown member,
    // a wrong number of arguments or an argument of the wrong type.
    automation::Variant invoke(automation::DispId id, automation::InvokeKind kind, automation::Arguments& arguments);

    // Methods: each returns a status (imaging::status), 0 on success, and never throws.
    int16_t LoadFile(const QString& path, int16_t bitsPerPixel = 0, int32_t firstPage = 0, int32_t pageCount = 1);
    int16_t LoadMemory(const void* address, int16_t bitsPerPixel, int32_t firstPage, int32_t pageCount, int32_t size);
    int16_t SaveFile(const QString& path, int16_t fileFormat, int16_t bitsPerPixel, int16_t quality, int16_t multiPage = 0);
    int16_t Rotate(int16_t angle);
    int16_t Resize(float width, float height, int16_t flags = 2);
    int16_t Redisplay();
    // Field fieldIndex of the file at path; an empty variant when absent or unreadable.
    automation::Variant GetCommentField(const QString& path, int32_t page, int16_t fieldIndex);
    void SetCommentField(int16_t fieldIndex, const automation::Variant& value);
    int16_t DrawRectangle(float left, float top, float width, float height);
    int16_t DrawLine(float x1, float y1, float x2, float y2);
    // Converts an image pixel to drawing coordinates; read the result with GetDrawX/GetDrawY.
    int16_t PixelToDrawing(float x, float y);

    // Property gets: 0 when the widget cannot answer.
    float GetDrawX();
    float GetDrawY();
    float GetImageWidth();
    float GetImageHeight();
    int16_t GetExifOrientation();
    int32_t GetImageHandle();
    // Writing 0 clears the image; other values are ignored.
    void SetImageHandle(int32_t handle);

    // Display and drawing settings (see the table above). Colours are 0x00BBGGRR.
    void SetAutoRepaint(bool on);             // 2
    void SetProgressEvents(bool on);          // 7
    void SetFieldsFromFile(bool on);          // 20
    void SetDisplayFilter(int16_t filter);    // 55
    void SetFitMode(int16_t mode);            // 139
    void SetDrawingEnabled(bool on);          // 149
    void SetDrawRasterOp(int16_t op);         // 150
    void SetDrawColor(uint32_t color);        // 151
    void SetDrawWidth(int16_t width);         // 152
    void SetDrawFillStyle(int16_t style);     // 153
    void SetDrawStyle(int16_t style);         // 155
    void SetBusyCursor(bool on);              // 160
    void SetMousePointer(int16_t pointer);    // 264
    void SetDefaultFileFormat(int16_t format); // 269
    void SetKeepAspect(bool on);              // 337
    void SetBackColor(uint32_t color);        // -501
    void SetBorderStyle(int16_t style);       // -504

signals:
    // Progress event 4: a percentage raised while the widget loads or saves (when
    // ProgressEvents is on).
    void progress(short percent);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int16_t callMethod(automation::DispId id, automation::Arguments arguments);
    automation::Variant getProperty(automation::DispId id);
    void putProperty(automation::DispId id, automation::Variant value);

    int m_id;
    ImagingWidget* m_control;
};

} // namespace imaging
