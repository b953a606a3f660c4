// The veil laid over the live-view picture box when its frame is no longer live (the camera
// was lost): the last frame shows through greyed, with a word that says it is still.
//
// Threading: UI thread only.
#pragma once

#include <QWidget>

namespace controls {

class FrozenFrameMark final : public QWidget {
public:
    explicit FrozenFrameMark(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace controls
