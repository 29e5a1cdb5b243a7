#pragma once
#include "foundation/WString.h"

// Component categories that every class registered by RegisterComClass implements.
extern const GUID kCategorySafeForScripting;        // {7DD95801-9882-11CF-9FA9-00AA006C42C4}
extern const GUID kCategorySafeForInitialising;     // {7DD95802-9882-11CF-9FA9-00AA006C42C4}

// A COM server module (DLL, OCX or EXE) known by its full path, registered under
// HKEY_CLASSES_ROOT. The registrations return 0 or E_FAIL; a failure leaves the keys written
// before the failing step. Only RegisterServer records why the module itself failed.
class ServerModule {
public:
    explicit ServerModule(const WString& path);
    virtual ~ServerModule();

    const WString& GetPath() const { return path_; }
    // A path containing ".exe" (case-sensitive) is a local server; anything else in-process.
    bool IsExecutableServer() const;

    // Calls the module's DllRegisterServer, then writes progId and progId\CLSID. A module that
    // does not load, lacks the export or returns a failure is recorded with its path and the
    // system's reason or the returned HRESULT.
    HRESULT RegisterServer(const GUID& clsid, const WString& progId, const WString& description);
    // CLSID\{clsid} with its server key, the two categories and, when insertable is non-zero,
    // Insertable; a failed Insertable removes the whole class key again.
    HRESULT RegisterComClass(const GUID& clsid, const WString& description, int insertable,
                             const WString& environmentFile);
    // Creates CLSID\{clsid}\Insertable; the class key must exist.
    HRESULT MarkInsertable(const GUID& clsid);
    // Deletes CLSID\{clsid} with everything below it.
    HRESULT UnregisterComClass(const GUID& clsid);
    // progId with CLSID, DefaultIcon and shell\open\command, then extension -> progId.
    HRESULT RegisterFileType(const GUID& clsid, const WString& progId, const WString& extension,
                             const WString& description, const WString& iconFile,
                             const WString& program, const WString& environmentFile);
    // Through the system's component category manager; returns its result.
    HRESULT RegisterClassCategory(const GUID& clsid, const GUID& categoryId);

private:
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    WString path_;
};
