// File naming of downloads: the short temporary name a download is written under, and the
// step that gives the finished file a free name in its folder without ever replacing a file.
//
// Threading: no shared state but an atomic counter; used on the processor's worker thread.
#pragma once

#include <camsdk/CamSdk.h>

#include <string>

namespace camera::downloads {

// The longest file name (one path component) the file system takes, in bytes.
inline constexpr std::size_t maxNameBytes = 255;

// `name` inside `folder`; `name` alone for an empty folder (the current folder).
std::string pathIn(const std::string& folder, const std::string& name);

// A hidden temporary name of our own, unique within this process and bounded in length
// whatever the camera's file name: ".vesk-<pid>-<n>.part".
std::string temporaryName();

// The name for the given try: the camera's name first, then "<stem>_<n><extension>", the stem
// shortened (at a character boundary) when the result would exceed `maxNameBytes`.
std::string numberedName(const std::string& name, int attempt);

// Moves the complete file `temporaryPath` to the first free name of `name`, `name`_1, ... in
// `folder`. A name that is taken, even at the last moment by another process, is skipped:
// the move never replaces a file. On success `finalPath` is the path written.
CamError publish(const std::string& temporaryPath, const std::string& folder, const std::string& name,
                 std::string& finalPath);

} // namespace camera::downloads
