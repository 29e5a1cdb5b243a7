#pragma once
#include <windows.h>

// Removes the installation that the product's uninstall entry points to: the files named in
// its uninstall data file and the files the setup wrote beside them (a killed setup's
// temporary files among them, by the setup's own name rule), the Start-menu
// shortcuts, the folders left empty, the product's registry keys and the entry itself.
// What cannot be removed is collected in a report instead of stopping the run. While an
// installed file remains, the entry and the data file stay, so that a later run (the setup
// asks again) can finish the job.
class Uninstaller {
public:
    Uninstaller();

    // True when everything could be removed.
    bool Run();

    // Whether the uninstall entry named an installation at all.
    bool FoundInstallation() const { return found_; }
    // One line per thing that could not be removed; empty after a clean run.
    const wchar_t* Report() const { return report_; }

    // Whether a name from the uninstall data is one the setup could have written: the setup's
    // own rule (archive/SafeName), so nothing outside the install folder, no device, no "/".
    static bool IsSafeName(const wchar_t* name, int length);

    static const int kMaxPath = 1024;

private:
    enum LocationState { kNotInstalled, kInvalidLocation, kLocationFound };

    // The entry and the report (Uninstaller.cpp).
    LocationState ReadInstallLocation();
    void ReadRegisteredUninstaller();
    void RemoveTargetFolders();
    void AddFailure(const wchar_t* what, const wchar_t* subject, const wchar_t* detail = nullptr);
    static bool SameText(const wchar_t* a, int lengthA, const wchar_t* b, int lengthB);

    // Files and folders (UninstallerFiles.cpp). RemoveFile takes names already checked.
    void IdentifySelf();
    void RemoveListedFiles();
    void RemoveFile(const wchar_t* relative, bool reportMissing);
    void RemoveFoldersOf(const wchar_t* relative);
    void RemoveFolder(const wchar_t* path);
    bool BuildPath(const wchar_t* relative, wchar_t* path);
    bool IsSelf(const wchar_t* path) const;

    // Shortcuts and registry keys (UninstallerRegistration.cpp).
    void RemoveShortcuts();
    void RemoveRegistration();
    void RemoveExtension(const wchar_t* extension);
    void RemoveKeyTree(HKEY root, const wchar_t* rootName, const wchar_t* path);

    static const int kReportCapacity = 8192;

    bool found_;
    bool truncated_;
    bool filesRemain_;             // an installed file could not be removed
    bool finalPass_;               // the registered uninstaller may go now
    int failures_;
    DWORD selfVolume_;
    ULONGLONG selfIndex_;
    wchar_t location_[kMaxPath];   // without a trailing separator
    wchar_t self_[kMaxPath];       // the running program, full path
    wchar_t uninstaller_[kMaxPath]; // the program the entry starts, full path (may be empty)
    wchar_t deferred_[kMaxPath];   // its name in the list, when listed
    wchar_t report_[kReportCapacity];
};
