#pragma once
#include "ui/KZ_UIWizard.h"

class AsyncTask;
class KZ_UIPanel;
class KZ_UIProgressBar;
class UILabel;

// The frame of a setup wizard: a Welcome page, the subclass's pages, an Install page with a
// status text and a progress bar, and an End page. Showing the Install page runs the
// subclass's background task and follows its "Progress" and "End".
//
// The Welcome page is built when the main loop delivers the "Create" event that the
// constructor posts, so every subclass constructor (catalogs, bitmap names) has run by then;
// the other pages when it delivers "FirstPageShown", which "Create" posts: right after the
// Welcome page is painted, and before any input is handled. Nothing may touch a page before
// it is built. The wizard must outlive both events: it is their publisher.
class KZ_UIWizardTask : public KZ_UIWizard {
public:
    KZ_UIWizardTask(KZ_UIWindow* parent, const WString& name);
    ~KZ_UIWizardTask() override;

    bool IsKindOf(const char* className) const override;

    // Side bitmap: Welcome and End; header bitmap: top of the Install page.
    void SetBitmapNames(const WString& sideBitmap, const WString& headerBitmap);
    const WString& GetSideBitmapName() const { return sideBitmapName_; }
    const WString& GetHeaderBitmapName() const { return headerBitmapName_; }

    // The subclass creates its pages as children of the wizard; called between Welcome and
    // Install while the pages are built.
    virtual void AddPages() = 0;
    // The task to run on the Install page, owned by the wizard from then on; null: none.
    virtual AsyncTask* CreateTask() = 0;
    // Called on every page change, before the Install page starts the task.
    virtual void OnPageChanged(KZ_UIWindow* page);
    // Called once the Welcome page has been painted and the other pages are built, for the
    // work the first page does not need (it would hold back its painting).
    virtual void OnFirstPageShown();

    // Null until "Create" (Welcome) or "FirstPageShown" (the others) was delivered.
    KZ_UIPanel* GetWelcomePage() const { return welcomePage_; }
    KZ_UIPanel* GetInstallPage() const { return installPage_; }
    KZ_UIPanel* GetEndPage() const { return endPage_; }
    UILabel* GetStatusLabel() const { return statusLabel_; }
    KZ_UIProgressBar* GetProgressBar() const { return progressBar_; }
    // The task held by the wizard: running, or kept after a failure the user cancelled.
    AsyncTask* GetTask() const { return task_; }
    // No while the task runs: log-off and restart wait for the install, and Windows shows the
    // catalog text "ShutdownBlock.Reason" meanwhile.
    bool CanEndSession() override;

private:
    void OnCreate(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnPageChangedEvent(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnFirstPageShownEvent(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnTaskProgress(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnTaskEnd(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnQuitRequest(const char* eventName, KZ_EventListener* publisher, void* userData);

    void BuildWelcomePage();
    void BuildInstallPage();
    void BuildEndPage();
    void StartTask();
    // Starts task_ (again); a failure abandons it.
    void RunTask();
    // Shows the start failure, ends the program and lets the task go; deleted only when no
    // "End" of it is to come.
    void AbandonTask(bool endToCome);
    void DetachTask();
    // The reason Windows shows while the session waits for the task, from its start to its end.
    void BlockShutdown(bool block);

    AsyncTask* task_;
    KZ_UIPanel* welcomePage_;
    KZ_UIPanel* installPage_;
    KZ_UIPanel* endPage_;
    UILabel* statusLabel_;
    KZ_UIProgressBar* progressBar_;
    WString sideBitmapName_;
    WString headerBitmapName_;
    EventSubscription* taskEndSubscription_;
    EventSubscription* taskProgressSubscription_;
    // From a successful Start of task_ until its "End" is delivered.
    bool awaitingEnd_;
};
