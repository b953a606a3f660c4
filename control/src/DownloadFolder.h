// The private folder one acquisition cycle downloads its pictures into: created exclusively
// (mode 0700) under a parent folder, never shared between processes or cycles, and removed
// with everything left in it when the cycle ends.
//
// Threading: created and destroyed on the UI thread, after the command thread that writes
// into it has ended.
#pragma once

#include <memory>
#include <string>

namespace control {

class DownloadFolder final {
public:
    // A new folder "<parent>/.VeskCapture-XXXXXX"; null, with the reason in `error`, when it
    // cannot be made.
    static std::unique_ptr<DownloadFolder> create(const std::string& parent, std::string& error);

    ~DownloadFolder();
    DownloadFolder(const DownloadFolder&) = delete;
    DownloadFolder& operator=(const DownloadFolder&) = delete;

    const std::string& path() const { return m_path; }

private:
    explicit DownloadFolder(std::string path) : m_path(std::move(path)) {}

    std::string m_path;
};

} // namespace control
