#pragma once
#include "foundation/ScopedHandle.h"
#include "ui/KZ_UIWindow.h"

// A bitmap of the install archive ("resources\graphic\icons\<name>.bmp") drawn at the window's
// origin, stretched from 96 DPI to the system's DPI. A missing or malformed entry leaves the
// window without bitmap, silently.
class UIBitmap : public KZ_UIWindow {
public:
    UIBitmap(KZ_UIWindow* parent, const WString& name);
    ~UIBitmap() override;

    // The bitmap's pixel size, 0 x 0 without bitmap.
    void GetPreferredSize(int* width, int* height) override;
    void Paint(HDC dc, const RECT& area) override;
    void OnDestroy() override;

    HBITMAP GetBitmap() const { return bitmap_.get(); }
    const WString& GetBitmapName() const { return bitmapName_; }

    // Checks a .bmp file image for CreateDIBitmap: "BM", the size field equal to the entry's
    // size, and a header, colour table and pixel array that all lie inside the entry. Returns
    // the pixel offset, or -1 when the image is refused.
    static int CheckBitmapFile(const unsigned char* bytes, int size);

private:
    void Load();
    void ScaleToSystemDpi(HDC dc);

    WString bitmapName_;
    ScopedGdiObject<HBITMAP> bitmap_;
};
