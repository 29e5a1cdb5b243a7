#pragma once
#include "setup/KZOrlixSetupWindow.h"

// The Orlix Player's setup window: the product's names, banners and catalog, its install task,
// and the quick-start guide opened on Finish.
class KZOrlixPlayerSetupWindow : public KZOrlixSetupWindow {
public:
    // Fills the process-wide product definition; the pages follow with "Create".
    KZOrlixPlayerSetupWindow(const WString& name, const WString& licenseEntry);
    ~KZOrlixPlayerSetupWindow() override;

    bool IsKindOf(const char* className) const override;

    // A KZOrlixPlayerSetupTask for the Target page's folder and the License page's document;
    // null without the Target page.
    AsyncTask* CreateTask() override;
    // Opens the installed quick-start guide, then ends as the generic window does.
    void OnFinish() override;

    // Says that another setup runs, with the texts this window would show. Before any window
    // exists: the posted "Create" of one would build the pages inside the box's loop.
    static void ShowAnotherSetupRuns();

    static const char* const kOwnCatalog;
};
