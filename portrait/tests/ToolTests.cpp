// vesk-portrait-check run as a process: its output lines and exit codes for pictures that
// pass, that fail, and for every kind of error.
//
// Threading: single test thread.
#include "SimulatedShot.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace portrait::test {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (const char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

std::string contentsOf(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

ToolRun runTool(const std::vector<std::string>& arguments)
{
    TemporaryFile out(".out");
    TemporaryFile err(".err");
    std::string command = quoted(VESK_PORTRAIT_CHECK_PATH);
    for (const std::string& argument : arguments) {
        command += " " + quoted(argument);
    }
    command += " >" + quoted(out.path()) + " 2>" + quoted(err.path()) + " </dev/null";
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = contentsOf(out.path());
    run.err = contentsOf(err.path());
    return run;
}

void write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A host configuration whose station "Calibrating" takes the sample photograph as it is.
std::string lenientStation()
{
    return "[0]\nImportTempPath=/tmp\n"
           "[Calibrating]\nPC_Enabled=N\nPC_FaceHeightMin=5\nPC_CentreOffsetMax=10\nPC_EyeLineMin=20\n"
           "PC_ShadowsMax=10\nPC_SharpnessMin=5\nPC_MinWidth=500\nPC_MinHeight=300\nPC_Views=FaceFront\n";
}

// Guards against a failed picture exiting 0 and findings printed without the file, the
// pass/fail word, value or limit.
TEST(PortraitTool, PrintsEachFindingAndExitsThreeOnAFailure)
{
    const ToolRun run = runTool({VESK_SAMPLE_PHOTOGRAPH});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(run.out.rfind(std::string(VESK_SAMPLE_PHOTOGRAPH) + ": failed\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\n  pass 1 face found\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n  FAIL face too small ("), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n  FAIL picture too small (548x342, at least 480x600 wanted)\n"), std::string::npos) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

// Guards against the station's limits being ignored while its checks are still off, against
// --view not leaving out the face of a view the station does not check, and against the file
// size not being taken as the saved size.
TEST(PortraitTool, AppliesTheStationsLimitsAndViews)
{
    TemporaryFile config(".ini");
    write(config.path(), lenientStation());
    const ToolRun lenient = runTool({VESK_SAMPLE_PHOTOGRAPH, "--config", config.path(), "--station", "calibrating"});
    EXPECT_EQ(lenient.exitCode, 0) << lenient.out << lenient.err;
    EXPECT_NE(lenient.out.find(": passed\n"), std::string::npos) << lenient.out;

    const ToolRun side = runTool({"--view", "FaceSide", "--config", config.path(), "--station", "Calibrating",
                              VESK_SAMPLE_PHOTOGRAPH});
    EXPECT_EQ(side.exitCode, 0) << side.out << side.err;
    EXPECT_EQ(side.out.find("face"), std::string::npos) << "no face check for a side view:\n" << side.out;
    EXPECT_NE(side.out.find("  pass picture size 548x342 (at least 500x300)\n"), std::string::npos) << side.out;

    write(config.path(), lenientStation() + "PC_MinBytesPerPixel=0.5\n");
    const ToolRun compressed = runTool({VESK_SAMPLE_PHOTOGRAPH, "--config", config.path(), "--station", "Calibrating"});
    EXPECT_EQ(compressed.exitCode, 3) << compressed.out << compressed.err;
    // 72937 bytes over 548 x 342 pixels.
    EXPECT_NE(compressed.out.find("  FAIL picture too compressed (0.39 bytes per pixel, at least 0.50 wanted)\n"),
              std::string::npos)
        << compressed.out;

    const ToolRun defaults = runTool({VESK_SAMPLE_PHOTOGRAPH, "--view", "FaceSide"});
    EXPECT_EQ(defaults.exitCode, 3) << "only the size is checked, and it fails";
    EXPECT_EQ(defaults.out.find("face"), std::string::npos) << defaults.out;
}

// Guards against errors reported as findings or success, and messages that do not say what
// went wrong.
TEST(PortraitTool, ExitsOneWithAMessageOnEveryError)
{
    TemporaryFile notAPicture(".jpg");
    write(notAPicture.path(), "these bytes are no JPEG");
    TemporaryFile config(".ini");
    write(config.path(), lenientStation());
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"/nonexistent/picture.jpg"}, "cannot read /nonexistent/picture.jpg"},
        {{notAPicture.path()}, "is not a picture that can be decoded"},
        {{VESK_SAMPLE_PHOTOGRAPH, "--frobnicate"}, "unknown option --frobnicate"},
        {{VESK_SAMPLE_PHOTOGRAPH, "--config", "/nonexistent/host.ini", "--station", "St1"}, "cannot read the configuration"},
        {{VESK_SAMPLE_PHOTOGRAPH, "--config", config.path(), "--station", "St9"}, "no group for the station St9"},
        {{VESK_SAMPLE_PHOTOGRAPH, "--config", config.path()}, "--config and --station go together"},
        {{VESK_SAMPLE_PHOTOGRAPH, "--cascades", "/nonexistent"}, "cannot read the cascade /nonexistent/"},
        {{}, "no picture named"},
        {{VESK_SAMPLE_PHOTOGRAPH, "--view"}, "--view needs a value"},
    };
    for (const auto& errorCase : cases) {
        const ToolRun run = runTool(errorCase.arguments);
        EXPECT_EQ(run.exitCode, 1) << errorCase.message;
        EXPECT_NE(run.err.find(errorCase.message), std::string::npos) << run.err;
    }
    // An error in one file is not hidden by a later failure or pass.
    const ToolRun mixed = runTool({"/nonexistent/picture.jpg", VESK_SAMPLE_PHOTOGRAPH});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_NE(mixed.out.find(": failed\n"), std::string::npos) << "the readable file is still checked";

    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: vesk-portrait-check FILE...", 0), 0u) << help.out;
}

} // namespace
} // namespace portrait::test
