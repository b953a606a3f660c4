// The private download folder of an acquisition cycle.
//
// Threading: UI thread.
#include "DownloadFolder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <stdlib.h>

namespace control {

std::unique_ptr<DownloadFolder> DownloadFolder::create(const std::string& parent, std::string& error)
{
    std::string pattern = parent;
    if (pattern.empty()) {
        pattern = ".";
    }
    if (pattern.back() != '/') {
        pattern += '/';
    }
    pattern += ".VeskCapture-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp creates the folder exclusively with mode 0700.
    if (!::mkdtemp(name.data())) {
        error = "Unable to create a download folder in " + parent + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<DownloadFolder>(new DownloadFolder(name.data()));
}

DownloadFolder::~DownloadFolder()
{
    // remove_all does not follow links: nothing outside the folder is touched.
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace control
