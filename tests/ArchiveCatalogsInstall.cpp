// Linked into every test executable that links the archive layer: its lookups read the
// catalogs of the archive it carries, as setup.exe's do. Installed before main, so before
// any lookup.
#include "archive/ArchiveCatalogs.h"
#include "foundation/MessageCatalog.h"

namespace {

const struct InstallArchiveCatalogs {
    InstallArchiveCatalogs() { MessageCatalog::SetSource(&ArchiveCatalogs()); }
} g_installArchiveCatalogs;

} // namespace
