// A private install of VeskWorkbench for the tests that run it as a user does; needs the paths of
// the program and its modules from the test target's definitions.
#pragma once

#include <cstdlib>
#include <filesystem>

namespace host_test {

// A private install of VeskWorkbench as a user has it: bin/ with the program, lib/ with the host
// module and the object source (the capture control when asked), and a private class registry.
inline void installWorkbench(const std::filesystem::path& folder, bool withCaptureControl)
{
    namespace fs = std::filesystem;
    ::setenv("VESK_REGISTRY", (folder / "registry.ini").c_str(), 1);
    fs::create_directories(folder / "bin");
    fs::create_directories(folder / "lib");
    fs::copy_file(VESK_WORKBENCH_PATH, folder / "bin" / "VeskWorkbench");
    fs::create_symlink(VESK_HOST_MODULE, folder / "lib" / "libVeskHost.so");
    fs::create_symlink(VESK_OBJSRC_MODULE, folder / "lib" / "libVeskObjSrcCapture.so");
    if (withCaptureControl)
        fs::create_symlink(VESK_CAPTURE_MODULE, folder / "lib" / "libVeskCapture.so");
}

} // namespace host_test
