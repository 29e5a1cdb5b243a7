#pragma once
#include "foundation/WString.h"

// Growable array of WString: 16 slots first, then doubling. Out-of-range reads give the
// process-wide empty value.
class WStringArray {
public:
    WStringArray();
    WStringArray(const WStringArray& other);
    WStringArray& operator=(const WStringArray& other);
    ~WStringArray();

    const WString& At(int index) const;
    void Append(const WString& value);
    void Clear();
    int Count() const { return count_; }
    int Capacity() const { return capacity_; }

private:
    WString* items_;
    int capacity_;
    int count_;
};

// The process-wide empty array (lookups without parameters).
const WStringArray& EmptyWStringArray();
