// What the driver is told on its command line.
#pragma once

#include <string>
#include <vector>

struct DriverOptions {
    std::wstring scenario;
    std::wstring setup;       // setup.exe under test
    std::wstring recorder;    // stand-in ".html" program (empty: Finish's guide is not checked)
    std::wstring shots;       // folder for PNG screenshots (empty: none)
    std::wstring payloadRoot; // folder the archive was packed from (empty: contents not compared)
    std::wstring earlier;     // setup.exe of an earlier version (kill)
    std::wstring earlierRoot; // folder its archive was packed from (kill)
    bool keep = false;        // leave the installation in place at the end (tour)
    std::vector<std::wstring> plant; // libraries planted beside setup.exe (planting)
    std::wstring plantProbe;  // program that loads the planted libraries by name (planting)
};
