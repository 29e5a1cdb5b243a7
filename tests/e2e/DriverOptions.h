// What the driver is told on its command line.
#pragma once

#include <string>

struct DriverOptions {
    std::wstring scenario;
    std::wstring setup;       // setup.exe under test
    std::wstring recorder;    // stand-in ".html" program (empty: Finish's guide is not checked)
    std::wstring shots;       // folder for PNG screenshots (empty: none)
    std::wstring payloadRoot; // folder the archive was packed from (empty: contents not compared)
    bool keep = false;        // leave the installation in place at the end (tour)
};
