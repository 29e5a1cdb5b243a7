#include "archive/FilesAhead.h"

#include <new>

#include "archive/DirectoryPath.h"
#include "foundation/PathText.h"

FilesAhead::FilesAhead()
    : targets_(nullptr), stopped_(true), creating_(false), taken_(0), next_(0)
{
    made_.items = nullptr;
    made_.count = 0;
    made_.capacity = 0;
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&created_);
    for (int i = 0; i < kAhead; ++i) {
        states_[i] = kNone;
        handles_[i] = nullptr;
    }
}

FilesAhead::~FilesAhead()
{
    Abandon(targets_ != nullptr ? targets_->Count() : 0);
    delete[] made_.items;
    DeleteCriticalSection(&lock_);
}

void FilesAhead::Start(const WStringArray* targets)
{
    targets_ = targets;
    stopped_ = false;
    taken_ = 0;
    next_ = 0;
}

bool FilesAhead::CreateNextOf(void* self)
{
    return static_cast<FilesAhead*>(self)->CreateNext();
}

bool FilesAhead::NoteMade(const WStringArray& levels, int target)
{
    if (made_.count + levels.Count() > made_.capacity) {
        const int capacity = (made_.count + levels.Count()) * 2;
        Made* grown = new (std::nothrow) Made[static_cast<size_t>(capacity)];
        if (grown == nullptr) {
            // Without room to note them, the new folders go at once, and nothing more is made
            // ahead; the writer makes what it needs itself.
            for (int m = levels.Count() - 1; m >= 0; --m)
                RemoveDirectoryW(levels.At(m).c_str());
            return false;
        }
        for (int m = 0; m < made_.count; ++m)
            grown[m] = made_.items[m];
        delete[] made_.items;
        made_.items = grown;
        made_.capacity = capacity;
    }
    for (int m = 0; m < levels.Count(); ++m) {
        made_.items[made_.count].folder = levels.At(m);
        made_.items[made_.count].target = target;
        ++made_.count;
    }
    return true;
}

bool FilesAhead::CreateNext()
{
    EnterCriticalSection(&lock_);
    const bool claimed = !stopped_ && !creating_ && targets_ != nullptr && next_ < targets_->Count() &&
                         next_ - taken_ < kAhead;
    const int i = next_;
    if (claimed) {
        creating_ = true;
        states_[i % kAhead] = kCreating;
        ++next_;
    }
    LeaveCriticalSection(&lock_);
    if (!claimed)
        return false;

    const WString& target = targets_->At(i);
    int folderEnd = target.Length() - 1;
    while (folderEnd >= 0 && !PathText::IsSeparator(target[folderEnd]))
        --folderEnd;
    if (folderEnd > 0) {
        const WString folder = target.Mid(0, folderEnd);
        if (folder != lastFolder_) {
            WStringArray levels;
            CreateDirectoryPath(folder, &levels);
            lastFolder_ = folder;
            if (!NoteMade(levels, i)) {
                EnterCriticalSection(&lock_);
                stopped_ = true;
                states_[i % kAhead] = kNone;
                creating_ = false;
                WakeAllConditionVariable(&created_);
                LeaveCriticalSection(&lock_);
                return false;
            }
        }
    }
    // CREATE_NEW: a file that exists is left for the writer, after its data is checked.
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);

    EnterCriticalSection(&lock_);
    if (file != INVALID_HANDLE_VALUE) {
        states_[i % kAhead] = kCreated;
        handles_[i % kAhead] = file;
    } else {
        states_[i % kAhead] = kNone;
    }
    creating_ = false;
    WakeAllConditionVariable(&created_);
    LeaveCriticalSection(&lock_);
    return true;
}

HANDLE FilesAhead::Take(int i)
{
    HANDLE file = nullptr;
    EnterCriticalSection(&lock_);
    if (i < next_ && i >= taken_) {
        while (states_[i % kAhead] == kCreating)
            SleepConditionVariableCS(&created_, &lock_, INFINITE);
        if (states_[i % kAhead] == kCreated)
            file = handles_[i % kAhead];
    }
    // Targets skipped over (the writer went on without them) hold nothing any more.
    for (int j = taken_; j <= i && j < next_; ++j) {
        if (states_[j % kAhead] == kCreated && j != i) {
            CloseHandle(handles_[j % kAhead]);
            DeleteFileW(targets_->At(j).c_str());
        }
        states_[j % kAhead] = kNone;
        handles_[j % kAhead] = nullptr;
    }
    if (i + 1 > taken_)
        taken_ = i + 1;
    // Never created ahead once the writer has come to it.
    if (next_ < taken_)
        next_ = taken_;
    LeaveCriticalSection(&lock_);
    return file;
}

void FilesAhead::Abandon(int first)
{
    EnterCriticalSection(&lock_);
    stopped_ = true;
    while (creating_)
        SleepConditionVariableCS(&created_, &lock_, INFINITE);
    for (int j = taken_; j < next_; ++j) {
        if (states_[j % kAhead] == kCreated) {
            CloseHandle(handles_[j % kAhead]);
            DeleteFileW(targets_->At(j).c_str());
        }
        states_[j % kAhead] = kNone;
        handles_[j % kAhead] = nullptr;
    }
    taken_ = next_;
    for (int m = made_.count - 1; m >= 0; --m) {
        if (made_.items[m].target >= first)
            RemoveDirectoryW(made_.items[m].folder.c_str());
    }
    made_.count = 0;
    LeaveCriticalSection(&lock_);
}
