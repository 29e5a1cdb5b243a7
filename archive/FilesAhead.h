#pragma once
#include "foundation/WStringArray.h"

// Creates, ahead of the writer and on whichever thread has nothing else to do, the files an
// extraction is about to write, so that the writer only writes and closes them. Only files
// that do not exist yet are created ahead: an existing file is never touched before its data
// is checked. It records no error: a file it could not create is opened again by the writer
// in its turn, which records whatever fails then. What it made and the writer never reached
// (files, and folders left empty) is removed by Abandon, so a failed extraction leaves what
// one without it would.
class FilesAhead {
public:
    FilesAhead();
    // Abandons whatever was not taken.
    ~FilesAhead();

    // targets: the full paths in list order; they stay the caller's until Abandon.
    void Start(const WStringArray* targets);
    // Any thread: creates the next file ahead. False when there is nothing to do now (the end
    // of the list, enough files waiting, another thread creating, or stopped).
    bool CreateNext();
    // Writer: the handle created ahead for target i, now the caller's; null when the writer
    // must open the file itself. Waits while another thread is creating it.
    HANDLE Take(int i);
    // Writer: no more files are created; the ones not taken are closed and deleted, and the
    // folders made for targets from `first` on are removed when empty, innermost first.
    void Abandon(int first);

    // Static adapter for InflatePipeline's idle step.
    static bool CreateNextOf(void* self);

private:
    FilesAhead(const FilesAhead&) = delete;
    FilesAhead& operator=(const FilesAhead&) = delete;

    // Notes the folder levels just made as made for `target`; when there is no room to,
    // removes them and answers false.
    bool NoteMade(const WStringArray& levels, int target);

    enum State { kNone, kCreating, kCreated };
    // Files created and not taken at most: each holds a handle.
    static const int kAhead = 64;

    CRITICAL_SECTION lock_;
    CONDITION_VARIABLE created_;
    const WStringArray* targets_;
    bool stopped_;
    bool creating_;     // one thread creates at a time: the folder cache and `made` are its own
    int taken_;         // the writer's next target
    int next_;          // the next target to create ahead
    State states_[kAhead];
    HANDLE handles_[kAhead];
    // Folders made ahead, outermost first, and for which target each was made.
    struct Made {
        WString folder;
        int target;
    };
    struct {
        Made* items;
        int count;
        int capacity;
    } made_;
    WString lastFolder_;
};
