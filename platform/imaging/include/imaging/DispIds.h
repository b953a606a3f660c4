// Dispatch identifiers, statuses and setting values of the imaging widget: the contract that
// every caller of CImageCtrl (and of the widget's dispatch interface) codes against.
//
// Threading: constants only.
#pragma once

#include "automation/Dispatch.h"

#include <cstdint>

namespace imaging {

// Methods and properties, by the role they play for the capture dialog and the live view.
namespace dispid {
inline constexpr automation::DispId ImageHandle = 1;       // get / put, long
inline constexpr automation::DispId AutoRepaint = 2;       // put, bool
inline constexpr automation::DispId ProgressEvents = 7;    // put, bool
inline constexpr automation::DispId ImageWidth = 10;       // get, float
inline constexpr automation::DispId ImageHeight = 11;      // get, float
inline constexpr automation::DispId FieldsFromFile = 20;   // put, bool
inline constexpr automation::DispId DisplayFilter = 55;    // put, short
inline constexpr automation::DispId FitMode = 139;         // put, short
inline constexpr automation::DispId DrawingEnabled = 149;  // put, bool
inline constexpr automation::DispId DrawRasterOp = 150;    // put, short
inline constexpr automation::DispId DrawColor = 151;       // put, colour
inline constexpr automation::DispId DrawWidth = 152;       // put, short
inline constexpr automation::DispId DrawFillStyle = 153;   // put, short
inline constexpr automation::DispId DrawStyle = 155;       // put, short
inline constexpr automation::DispId BusyCursor = 160;      // put, bool
inline constexpr automation::DispId MousePointer = 264;    // put, short
inline constexpr automation::DispId DefaultFileFormat = 269; // put, short
inline constexpr automation::DispId ExifOrientation = 282; // get, short
inline constexpr automation::DispId DrawX = 284;           // get, float
inline constexpr automation::DispId DrawY = 285;           // get, float
inline constexpr automation::DispId KeepAspect = 337;      // put, bool
inline constexpr automation::DispId Redisplay = 396;       // method
inline constexpr automation::DispId SaveFile = 400;        // method
inline constexpr automation::DispId Resize = 417;          // method
inline constexpr automation::DispId LoadFile = 420;        // method
inline constexpr automation::DispId DrawRectangle = 510;   // method
inline constexpr automation::DispId DrawLine = 511;        // method
inline constexpr automation::DispId GetCommentField = 521; // method, returns a variant
inline constexpr automation::DispId Rotate = 527;          // method
inline constexpr automation::DispId PixelToDrawing = 595;  // method
inline constexpr automation::DispId LoadMemory = 715;      // method
inline constexpr automation::DispId CommentField = 778;    // put (field index, value)
inline constexpr automation::DispId BackColor = -501;      // put, colour
inline constexpr automation::DispId BorderStyle = -504;    // put, short
// Event raised to advised sinks (and as CImageCtrl::progress) with one short percentage.
inline constexpr automation::DispId ProgressEvent = 4;
} // namespace dispid

// Status of every method but GetCommentField: 0 is success.
namespace status {
inline constexpr int16_t Ok = 0;
inline constexpr int16_t NoImage = 1;          // the call needs a loaded image
inline constexpr int16_t FileNotFound = 2;     // missing, unreadable, empty or a folder
inline constexpr int16_t BadImageData = 3;     // not a picture we can decode, or corrupt
inline constexpr int16_t ImageTooLarge = 4;    // over MaxPixels, refused before decoding
inline constexpr int16_t InvalidArgument = 5;  // an argument out of its range
inline constexpr int16_t WriteFailed = 6;      // the file could not be written
inline constexpr int16_t OutOfMemory = 7;
inline constexpr int16_t DrawingDisabled = 8;  // DrawingEnabled is false
inline constexpr int16_t Unsupported = 9;      // a format, page or depth we do not handle
inline constexpr int16_t InternalError = 10;   // anything else caught at the widget boundary
} // namespace status

// File formats of SaveFile (and DefaultFileFormat).
namespace fileformat {
inline constexpr int16_t Jpeg = 23;             // plain JPEG, no EXIF
inline constexpr int16_t JpegWithFields = 98;   // JPEG carrying the comment fields as EXIF
} // namespace fileformat

// Raster operations of DrawRasterOp (the platform's binary raster operation codes).
namespace rasterop {
inline constexpr int16_t Black = 1;
inline constexpr int16_t NotCopyPen = 4;
inline constexpr int16_t Invert = 6;     // inverts what is under the pen; the colour plays no part
inline constexpr int16_t XorPen = 7;
inline constexpr int16_t CopyPen = 13;   // the default; any code not listed here draws as CopyPen
inline constexpr int16_t White = 16;
} // namespace rasterop

// Pictures over this many pixels are refused before anything is decoded.
inline constexpr int64_t MaxPixels = 200'000'000;
// Comment fields are numbered 0 .. CommentFieldCount - 1.
inline constexpr int16_t CommentFieldCount = 179;

} // namespace imaging
