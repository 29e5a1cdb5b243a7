#pragma once
// Where the message catalogs' texts come from. Foundation only reads the catalog format; the
// layer that owns the install archive implements this, and the program's start-up installs it
// once (MessageCatalog::SetSource) before the first lookup.
class CatalogSource {
public:
    // Takes a catalog's text, which stays readable only during the call.
    class Reader {
    public:
        virtual void Read(const char* text, int size) = 0;

    protected:
        ~Reader() = default;
    };

    // Hands the text of the catalog (null: the default one, "KZ_PlatformErrors") to reader.
    // False, and reader not called, when there is no such catalog.
    virtual bool ReadCatalog(const char* catalog, Reader& reader) = 0;

protected:
    ~CatalogSource() = default;
};
