// Owning handles for libgphoto2's own objects, so that every path frees what it got.
// Threading: as the objects they hold (a camera's objects only on that camera's thread).
#pragma once

#include <gphoto2/gphoto2.h>

#include <memory>

namespace camsdk::gp {

struct WidgetFree {
    void operator()(CameraWidget* widget) const { gp_widget_free(widget); }
};
struct FileUnref {
    void operator()(CameraFile* file) const { gp_file_unref(file); }
};

using WidgetHandle = std::unique_ptr<CameraWidget, WidgetFree>;
using FileHandle = std::unique_ptr<CameraFile, FileUnref>;

// A new empty file; null when libgphoto2 has no memory for it.
inline FileHandle newFile()
{
    CameraFile* file = nullptr;
    return FileHandle(gp_file_new(&file) >= GP_OK ? file : nullptr);
}

} // namespace camsdk::gp
