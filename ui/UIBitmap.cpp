#include "ui/UIBitmap.h"

#include "ui/UIArchiveEntry.h"
#include "ui/UILook.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace {

const int kFileHeaderSize = 14;
const int kInfoHeaderSize = 40;
const unsigned int kFileSignature = 0x4D42;    // "BM"
// The three colour masks that follow a BITMAPINFOHEADER with BI_BITFIELDS.
const int kBitfieldMasksSize = 12;

unsigned int ReadU32(const unsigned char* p)
{
    return static_cast<unsigned int>(p[0]) | (static_cast<unsigned int>(p[1]) << 8) |
           (static_cast<unsigned int>(p[2]) << 16) | (static_cast<unsigned int>(p[3]) << 24);
}

int ReadS32(const unsigned char* p)
{
    return static_cast<int>(ReadU32(p));
}

unsigned int ReadU16(const unsigned char* p)
{
    return static_cast<unsigned int>(p[0]) | (static_cast<unsigned int>(p[1]) << 8);
}

// Copies source stretched over the whole of target, both selected into contexts compatible
// with reference only while this runs.
bool StretchBitmap(HDC reference, HBITMAP source, int width, int height, HBITMAP target,
                   int targetWidth, int targetHeight)
{
    const ScopedMemoryDC sourceDC(CreateCompatibleDC(reference));
    const ScopedMemoryDC targetDC(CreateCompatibleDC(reference));
    if (!sourceDC || !targetDC)
        return false;
    const ScopedSelection sourceSelected(sourceDC.get(), SelectObject(sourceDC.get(), source));
    const ScopedSelection targetSelected(targetDC.get(), SelectObject(targetDC.get(), target));
    SetStretchBltMode(targetDC.get(), HALFTONE);
    SetBrushOrgEx(targetDC.get(), 0, 0, nullptr);
    return StretchBlt(targetDC.get(), 0, 0, targetWidth, targetHeight, sourceDC.get(), 0, 0,
                      width, height, SRCCOPY) != FALSE;
}

} // namespace

int UIBitmap::CheckBitmapFile(const unsigned char* bytes, int size)
{
    if (bytes == nullptr || size < kFileHeaderSize + kInfoHeaderSize)
        return -1;
    if (ReadU16(bytes) != kFileSignature || ReadU32(bytes + 2) != static_cast<unsigned int>(size))
        return -1;

    // Beyond the header check, everything CreateDIBitmap will read must lie inside the entry.
    const unsigned char* header = bytes + kFileHeaderSize;
    long long headerSize = ReadU32(header);
    long long width = ReadS32(header + 4);
    long long height = ReadS32(header + 8);
    unsigned int planes = ReadU16(header + 12);
    unsigned int bitCount = ReadU16(header + 14);
    unsigned int compression = ReadU32(header + 16);
    long long imageSize = ReadU32(header + 20);
    long long coloursUsed = ReadU32(header + 32);
    if (headerSize < kInfoHeaderSize || kFileHeaderSize + headerSize > size)
        return -1;
    if (width <= 0 || height == 0 || planes != 1)
        return -1;
    if (height < 0)
        height = -height;

    long long colours = 0;
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        colours = coloursUsed != 0 ? coloursUsed : (1LL << bitCount);
        if (colours > (1LL << bitCount))
            return -1;
        break;
    case 16:
    case 24:
    case 32:
        colours = coloursUsed;
        if (colours > 256)
            return -1;
        break;
    default:
        return -1;
    }
    long long masks = 0;
    long long pixelBytes = ((width * bitCount + 31) / 32) * 4 * height;
    switch (compression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (bitCount != 16 && bitCount != 32)
            return -1;
        if (headerSize == kInfoHeaderSize)
            masks = kBitfieldMasksSize;
        break;
    case BI_RLE8:
    case BI_RLE4:
        if ((compression == BI_RLE8 && bitCount != 8) || (compression == BI_RLE4 && bitCount != 4))
            return -1;
        if (imageSize == 0)
            return -1;
        pixelBytes = imageSize;
        break;
    default:
        return -1;
    }

    long long tableEnd = kFileHeaderSize + headerSize + masks + colours * 4;
    long long pixelOffset = ReadU32(bytes + 10);
    if (tableEnd > size || pixelOffset < tableEnd || pixelOffset > size ||
        pixelBytes > size - pixelOffset)
        return -1;
    return static_cast<int>(pixelOffset);
}

UIBitmap::UIBitmap(KZ_UIWindow* parent, const WString& name)
    : KZ_UIWindow(parent, name, 0, nullptr, kChildWindowStyle, 0),
      bitmapName_(name)
{
    Load();
}

UIBitmap::~UIBitmap()
{
}

void UIBitmap::Load()
{
    UIArchiveEntry entry;
    if (FAILED(entry.Open(WString(L"resources\\graphic\\icons\\") + bitmapName_ + L".bmp")))
        return;
    const unsigned char* bytes = entry.Data();
    int pixelOffset = CheckBitmapFile(bytes, entry.Length());
    if (pixelOffset < 0 || GetWindow() == nullptr)
        return;

    // The header and colour table sit at an odd offset inside the entry: copy them to an
    // aligned block before handing them to GDI as a BITMAPINFO.
    int infoSize = pixelOffset - kFileHeaderSize;
    const std::unique_ptr<unsigned char[]> info(new (std::nothrow) unsigned char[infoSize]);
    if (!info)
        return;
    std::memcpy(info.get(), bytes + kFileHeaderSize, infoSize);
    const ScopedWindowDC dc(GetWindow(), GetDC(GetWindow()));
    if (dc) {
        const BITMAPINFO* bitmapInfo = reinterpret_cast<const BITMAPINFO*>(info.get());
        bitmap_.reset(CreateDIBitmap(dc.get(), &bitmapInfo->bmiHeader, CBM_INIT,
                                     bytes + pixelOffset, bitmapInfo, DIB_RGB_COLORS));
        ScaleToSystemDpi(dc.get());
    }
    Invalidate();
}

// The banners are drawn for 96 DPI: at another DPI they are stretched once, here, so that
// they keep their place beside the scaled text and layout.
void UIBitmap::ScaleToSystemDpi(HDC dc)
{
    if (!bitmap_ || UILook::GetSystemDpi() == 96)
        return;
    int width, height;
    UILook::GetBitmapSize(bitmap_.get(), &width, &height);
    if (height < 0)
        height = -height;
    int scaledWidth = UILook::Scale(width);
    int scaledHeight = UILook::Scale(height);
    if (width <= 0 || height <= 0 || scaledWidth <= 0 || scaledHeight <= 0)
        return;
    ScopedGdiObject<HBITMAP> scaled(CreateCompatibleBitmap(dc, scaledWidth, scaledHeight));
    if (scaled && StretchBitmap(dc, bitmap_.get(), width, height, scaled.get(), scaledWidth,
                                scaledHeight))
        bitmap_ = std::move(scaled);
}

void UIBitmap::GetPreferredSize(int* width, int* height)
{
    UILook::GetBitmapSize(bitmap_.get(), width, height);
}

void UIBitmap::Paint(HDC dc, const RECT& area)
{
    KZ_UIWindow::Paint(dc, area);
    if (!bitmap_)
        return;
    // Only the part of the paint area that the bitmap covers: outside it the memory context
    // holds nothing worth copying.
    int width, height;
    UILook::GetBitmapSize(bitmap_.get(), &width, &height);
    int right = area.right < width ? area.right : width;
    int bottom = area.bottom < height ? area.bottom : height;
    if (right > area.left && bottom > area.top)
        UILook::DrawBitmap(dc, bitmap_.get(), area.left, area.top, right - area.left,
                           bottom - area.top, area.left, area.top, SRCCOPY);
}

void UIBitmap::OnDestroy()
{
    bitmap_.reset();
}
