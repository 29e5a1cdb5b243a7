// End-to-end driver of setup.exe: runs it, finds its windows by class and text, pushes its
// buttons and answers its boxes as a person would, and checks the real registry and files.
//
//   e2e_driver SCENARIO --setup PATH [--recorder PATH] [--shots DIR] [--payload-root DIR] [--keep]
//              [--plant DLL]... [--plant-probe PATH] [--earlier PATH --earlier-root DIR]
//
// Scenarios: full, upgrade, failure, keyboard, windowmenu, tour, planting, concurrent, kill. Paths may be given as host paths
// ("/work/..."), which are reached through drive Z:. Exit code 0 when every check held.
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/Platform.h"
#include <objbase.h>
#include <shlobj.h>

#include "tests/e2e/DriverLog.h"
#include "tests/e2e/DriverOptions.h"
#include "tests/e2e/FileProbe.h"
#include "tests/e2e/SetupScenarios.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: e2e_driver full|upgrade|failure|keyboard|windowmenu|tour|planting|concurrent|kill --setup PATH "
                         "[--recorder PATH] [--shots DIR] [--payload-root DIR] [--keep] [--plant DLL]... "
                         "[--plant-probe PATH] [--earlier PATH --earlier-root DIR]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    DriverOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--setup" && hasValue)
            options.setup = FileProbe::FromHost(argv[++i]);
        else if (argument == "--recorder" && hasValue)
            options.recorder = FileProbe::FromHost(argv[++i]);
        else if (argument == "--shots" && hasValue)
            options.shots = FileProbe::FromHost(argv[++i]);
        else if (argument == "--payload-root" && hasValue)
            options.payloadRoot = FileProbe::FromHost(argv[++i]);
        else if (argument == "--earlier" && hasValue)
            options.earlier = FileProbe::FromHost(argv[++i]);
        else if (argument == "--earlier-root" && hasValue)
            options.earlierRoot = FileProbe::FromHost(argv[++i]);
        else if (argument == "--plant" && hasValue)
            options.plant.push_back(FileProbe::FromHost(argv[++i]));
        else if (argument == "--plant-probe" && hasValue)
            options.plantProbe = FileProbe::FromHost(argv[++i]);
        else if (argument == "--keep")
            options.keep = true;
        else if (argument[0] != '-' && options.scenario.empty())
            options.scenario = FileProbe::FromUtf8(argument);
        else
            return Usage();
    }
    if (options.scenario.empty() || options.setup.empty())
        return Usage();
    if (!FileProbe::IsFile(options.setup)) {
        std::fprintf(stderr, "e2e_driver: no setup program at %s\n", DriverLog::Utf8(options.setup).c_str());
        return 2;
    }
    if (!options.recorder.empty() && !FileProbe::IsFile(options.recorder)) {
        std::fprintf(stderr, "e2e_driver: no recorder program at %s\n", DriverLog::Utf8(options.recorder).c_str());
        return 2;
    }
    if (!options.shots.empty())
        SHCreateDirectoryExW(nullptr, options.shots.c_str(), nullptr); // with its parents

    // Real pixels at any DPI, as the DPI-aware setup sees them: window sizes and screenshots.
    SetProcessDPIAware();
    CoInitialize(nullptr);
    std::printf("scenario %s\n", DriverLog::Utf8(options.scenario).c_str());
    SetupScenarios scenarios(options);
    bool known = true;
    if (scenarios.Prepare()) {
        if (options.scenario == L"full")
            scenarios.Full();
        else if (options.scenario == L"upgrade")
            scenarios.Upgrade();
        else if (options.scenario == L"failure")
            scenarios.Failure();
        else if (options.scenario == L"keyboard")
            scenarios.Keyboard();
        else if (options.scenario == L"windowmenu")
            scenarios.WindowMenu();
        else if (options.scenario == L"tour")
            scenarios.Tour();
        else if (options.scenario == L"planting")
            scenarios.Planting();
        else if (options.scenario == L"concurrent")
            scenarios.Concurrent();
        else if (options.scenario == L"kill")
            scenarios.Kill();
        else
            known = false;
    }
    CoUninitialize();
    if (!known)
        return Usage();
    std::printf("%d passed, %d failed\n", DriverLog::Passed(), DriverLog::Failed());
    std::fflush(stdout);
    return DriverLog::Failed() == 0 && DriverLog::Passed() > 0 ? 0 : 1;
}
