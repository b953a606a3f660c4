// The imaging widget: holds one picture, shows it scaled to fit on its back colour, and
// carries out the DISPID contract of DispIds.h (load, save, turn, resize, draw, comment
// fields, settings, progress event). CImageCtrl is the typed way to call it.
//
// Threading: user-interface thread only, like every widget.
#pragma once

#include "automation/Dispatch.h"
#include "automation/Events.h"
#include "imaging/DispIds.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace imaging {

class ImageDocument;
class ImagingDispatch;

// The address argument of LoadMemory when called through dispatch: a 32-bit long cannot hold
// an address on this platform, so the address travels as this object (the size stays a long).
class MemoryBlock final : public automation::DispatchObject {
public:
    explicit MemoryBlock(const void* address) : m_address(address) {}
    const void* address() const { return m_address; }

private:
    const void* m_address;
};

class ImagingWidget final : public QWidget {
    Q_OBJECT

public:
    // The display and drawing settings, with their defaults (meanings in ImageCtrl.h).
    struct Settings {
        bool autoRepaint = false;           // 2
        bool progressEvents = false;        // 7
        bool fieldsFromFile = false;        // 20
        int16_t displayFilter = 3;          // 55
        int16_t fitMode = 3;                // 139
        bool drawingEnabled = true;         // 149
        int16_t drawRasterOp = 13;          // 150
        uint32_t drawColor = 0xFFFFFF;      // 151
        int16_t drawWidth = 1;              // 152
        int16_t drawFillStyle = 0;          // 153
        int16_t drawStyle = 1;              // 155
        bool busyCursor = false;            // 160
        int16_t mousePointer = 0;           // 264
        int16_t defaultFileFormat = 23;     // 269
        bool keepAspect = true;             // 337
        uint32_t backColor = 0x000000;      // -501
        int16_t borderStyle = 0;            // -504
    };

    explicit ImagingWidget(QWidget* parent = nullptr);
    ~ImagingWidget() override;

    // The dispatch interface; it outlives the widget only as an object whose calls fail.
    automation::DispatchPtr dispatch() const;
    automation::Variant invoke(automation::DispId id, automation::InvokeKind kind, automation::Arguments& arguments);
    // Sinks advised here receive event 4 (ProgressEvent) with one short argument.
    automation::EventSource& events() { return m_events; }

    // The picture with every recorded change applied; a null image without one.
    QImage picture();

    // The operations behind the DISPIDs. Statuses as in imaging::status; nothing throws.
    int16_t loadFile(const QString& path, int16_t bitsPerPixel, int32_t firstPage, int32_t pageCount);
    int16_t loadMemory(const void* address, int16_t bitsPerPixel, int32_t firstPage, int32_t pageCount, int32_t size);
    int16_t saveFile(const QString& path, int16_t fileFormat, int16_t bitsPerPixel, int16_t quality, int16_t multiPage);
    int16_t rotate(int16_t angle);
    int16_t resize(float width, float height, int16_t flags);
    int16_t redisplay();
    automation::Variant commentField(const QString& path, int32_t page, int16_t fieldIndex);
    void setCommentField(int16_t fieldIndex, const automation::Variant& value);
    int16_t drawRectangle(float left, float top, float width, float height);
    int16_t drawLine(float x1, float y1, float x2, float y2);
    int16_t pixelToDrawing(float x, float y);
    float drawX() const { return m_drawX; }
    float drawY() const { return m_drawY; }
    float imageWidth() const;
    float imageHeight() const;
    int16_t exifOrientation();
    int32_t imageHandle() const;
    void setImageHandle(int32_t handle);

    const Settings& settings() const { return m_settings; }
    void setSettings(const Settings& settings);

signals:
    void progress(short percent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Mapping;
    Mapping mapping() const;
    QRect imageArea() const;
    template <class Draw>
    int16_t drawOnPicture(const Draw& draw);
    void raiseProgress(int16_t percent);
    void changed();
    const QImage* shownImage(QSize size);

    std::unique_ptr<ImageDocument> m_document;
    automation::Ref<ImagingDispatch> m_dispatch;
    automation::EventSource m_events;
    Settings m_settings;
    float m_drawX = 0;
    float m_drawY = 0;
    // What was last painted, scaled to the widget, and what it was made from.
    QImage m_shown;
    uint64_t m_shownRevision = 0;
    bool m_shownSmooth = true;
};

} // namespace imaging
