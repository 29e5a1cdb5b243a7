#include "archive/ArchiveCatalogs.h"

#include "archive/Archive.h"
#include "archive/ResourceBuffer.h"
#include "foundation/CatalogSource.h"

namespace {

class ArchiveCatalogSource : public CatalogSource {
public:
    bool ReadCatalog(const char* catalog, Reader& reader) override
    {
        ResourceBuffer resource;
        Archive archive;
        if (OpenEmbeddedArchive(resource, archive) != S_OK) {
            // No archive at all: a plain catalog resource may stand in for it.
            if (resource.Data() != nullptr || resource.Open(L"RESOURCES", L"MSGCATALOG") != S_OK)
                return false;
            reader.Read(reinterpret_cast<const char*>(resource.Data()), resource.Remaining());
            return true;
        }
        WString entry(L"resources\\msgcatalog\\");
        entry.Append(catalog != nullptr ? FromMultiByte(catalog, -1, CP_ACP) : WString(L"KZ_PlatformErrors"));
        entry.Append(L".QorNls");
        const void* content = nullptr;
        int size = 0;
        if (archive.Get(entry, &content, &size) != S_OK)
            return false;
        reader.Read(static_cast<const char*>(content), size);
        return true;
    }
};

} // namespace

CatalogSource& ArchiveCatalogs()
{
    static ArchiveCatalogSource source;
    return source;
}
