#include "ui/UIBitmap.h"

#include "archive/Archive.h"
#include "archive/ResourceBuffer.h"
#include "ui/UILook.h"

#include <cstring>
#include <new>

namespace {

const int kFileHeaderSize = 14;
const int kInfoHeaderSize = 40;

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

} // namespace

int UIBitmap::CheckBitmapFile(const unsigned char* bytes, int size)
{
    if (bytes == nullptr || size < kFileHeaderSize + kInfoHeaderSize)
        return -1;
    if (ReadU16(bytes) != 0x4D42 || ReadU32(bytes + 2) != static_cast<unsigned int>(size))
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
            masks = 12;
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
    : KZ_UIWindow(parent, name, 0, nullptr,
                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0),
      bitmapName_(name), bitmap_(nullptr)
{
    Load();
}

UIBitmap::~UIBitmap()
{
    DeleteBitmap();
}

void UIBitmap::DeleteBitmap()
{
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
}

void UIBitmap::Load()
{
    ResourceBuffer resource;
    Archive archive;
    const void* content = nullptr;
    int length = 0;
    if (FAILED(resource.Open(L"RESOURCES", L"KZ")) ||
        FAILED(archive.Open(resource.Data(), resource.Remaining())) ||
        FAILED(archive.Get(WString(L"resources\\graphic\\icons\\") + bitmapName_ + L".bmp",
                           &content, &length)))
        return;
    const unsigned char* bytes = static_cast<const unsigned char*>(content);
    int pixelOffset = CheckBitmapFile(bytes, length);
    if (pixelOffset < 0 || GetWindow() == nullptr)
        return;

    // The header and colour table sit at an odd offset inside the entry: copy them to an
    // aligned block before handing them to GDI as a BITMAPINFO.
    int infoSize = pixelOffset - kFileHeaderSize;
    unsigned char* info = new (std::nothrow) unsigned char[infoSize];
    if (info == nullptr)
        return;
    std::memcpy(info, bytes + kFileHeaderSize, infoSize);
    HDC dc = GetDC(GetWindow());
    if (dc != nullptr) {
        const BITMAPINFO* bitmapInfo = reinterpret_cast<const BITMAPINFO*>(info);
        bitmap_ = CreateDIBitmap(dc, &bitmapInfo->bmiHeader, CBM_INIT, bytes + pixelOffset,
                                 bitmapInfo, DIB_RGB_COLORS);
        ScaleToSystemDpi(dc);
        ReleaseDC(GetWindow(), dc);
    }
    delete[] info;
    Invalidate();
}

// The banners are drawn for 96 DPI: at another DPI they are stretched once, here, so that
// they keep their place beside the scaled text and layout.
void UIBitmap::ScaleToSystemDpi(HDC dc)
{
    if (bitmap_ == nullptr || UILook::GetSystemDpi() == 96)
        return;
    int width, height;
    UILook::GetBitmapSize(bitmap_, &width, &height);
    if (height < 0)
        height = -height;
    int scaledWidth = UILook::Scale(width);
    int scaledHeight = UILook::Scale(height);
    if (width <= 0 || height <= 0 || scaledWidth <= 0 || scaledHeight <= 0)
        return;
    HBITMAP scaled = CreateCompatibleBitmap(dc, scaledWidth, scaledHeight);
    HDC source = CreateCompatibleDC(dc);
    HDC target = CreateCompatibleDC(dc);
    if (scaled != nullptr && source != nullptr && target != nullptr) {
        HGDIOBJ oldSource = SelectObject(source, bitmap_);
        HGDIOBJ oldTarget = SelectObject(target, scaled);
        SetStretchBltMode(target, HALFTONE);
        SetBrushOrgEx(target, 0, 0, nullptr);
        BOOL copied = StretchBlt(target, 0, 0, scaledWidth, scaledHeight, source, 0, 0, width,
                                 height, SRCCOPY);
        SelectObject(target, oldTarget);
        SelectObject(source, oldSource);
        if (copied) {
            DeleteObject(bitmap_);
            bitmap_ = scaled;
            scaled = nullptr;
        }
    }
    if (target != nullptr)
        DeleteDC(target);
    if (source != nullptr)
        DeleteDC(source);
    if (scaled != nullptr)
        DeleteObject(scaled);
}

void UIBitmap::GetPreferredSize(int* width, int* height)
{
    UILook::GetBitmapSize(bitmap_, width, height);
}

void UIBitmap::Paint(HDC dc, const RECT& area)
{
    KZ_UIWindow::Paint(dc, area);
    if (bitmap_ == nullptr)
        return;
    // Only the part of the paint area that the bitmap covers: outside it the memory context
    // holds nothing worth copying.
    int width, height;
    UILook::GetBitmapSize(bitmap_, &width, &height);
    int right = area.right < width ? area.right : width;
    int bottom = area.bottom < height ? area.bottom : height;
    if (right > area.left && bottom > area.top)
        UILook::DrawBitmap(dc, bitmap_, area.left, area.top, right - area.left,
                           bottom - area.top, area.left, area.top, SRCCOPY);
}

void UIBitmap::OnDestroy()
{
    DeleteBitmap();
}
