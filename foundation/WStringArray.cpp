#include "foundation/WStringArray.h"

#include <cstdlib>
#include <new>

// Slots are raw memory holding WString handles. A handle is one pointer and carries no
// self-reference, so growing moves the handles bitwise instead of copying and releasing them.
static_assert(sizeof(WString) == sizeof(void*), "WString is one handle");

namespace {

const int kFirstSlots = 16;
const int kMaxSlots = 0x10000000;

const WStringArray kEmptyWStringArray;

} // namespace

WStringArray::WStringArray() : items_(nullptr), capacity_(0), count_(0) {}

WStringArray::WStringArray(const WStringArray& other) : items_(nullptr), capacity_(0), count_(0)
{
    *this = other;
}

WStringArray& WStringArray::operator=(const WStringArray& other)
{
    if (this == &other)
        return *this;
    Clear();
    for (int i = 0; i < other.count_; ++i)
        Append(other.items_[i]);
    return *this;
}

WStringArray::~WStringArray()
{
    for (int i = 0; i < capacity_; ++i)
        items_[i].~WString();
    free(static_cast<void*>(items_));
}

const WString& WStringArray::At(int index) const
{
    if (index < 0 || index >= count_)
        return EmptyWString();
    return items_[index];
}

void WStringArray::Append(const WString& value)
{
    if (count_ == capacity_) {
        if (capacity_ >= kMaxSlots)
            return;
        // value may be one of our own items, which the growth below moves.
        WString keep(value);
        int capacity = capacity_ == 0 ? kFirstSlots : capacity_ * 2;
        void* grown = realloc(static_cast<void*>(items_), static_cast<size_t>(capacity) * sizeof(WString));
        if (grown == nullptr)
            return;     // the array stays as it was
        items_ = static_cast<WString*>(grown);
        for (int i = capacity_; i < capacity; ++i)
            new (&items_[i]) WString();
        capacity_ = capacity;
        items_[count_] = keep;
        ++count_;
        return;
    }
    items_[count_] = value;
    ++count_;
}

void WStringArray::Clear()
{
    for (int i = 0; i < count_; ++i)
        items_[i].Clear();
    count_ = 0;
}

const WStringArray& EmptyWStringArray()
{
    return kEmptyWStringArray;
}
