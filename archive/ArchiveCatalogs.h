#pragma once
class CatalogSource;

// The message catalogs as the program carries them: "resources\msgcatalog\<name>.QorNls" in the
// install archive (resource "RESOURCES" of type KZ), or the plain catalog resource ("RESOURCES"
// of type MSGCATALOG) for every name when the program has no archive. The start-up installs it
// with MessageCatalog::SetSource.
CatalogSource& ArchiveCatalogs();
