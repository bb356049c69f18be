// What the user-interface tests share: the program set up the way start-up
// does it (a real resource module from the dist folder, a real AppContext),
// another module switched in for a while, and Wine's menu builder kept from
// mirroring the links the tests save.
#ifndef KELDRIN_UI_TEST_SUPPORT_H
#define KELDRIN_UI_TEST_SUPPORT_H

#include <windows.h>

#include <string>

#include "test_support.h"

namespace uitest {

using testsupport::NotCopied;

// g_app, g_resourceModule and the icons as ResourceModuleStartUp leaves
// them, with the module named here; the globals are put back as they were at
// destruction.
class ProgramScope : NotCopied {
public:
    explicit ProgramScope(const wchar_t *moduleFileName);
    ~ProgramScope();

    bool ready() const { return ready_; }

private:
    // Declared first, so g_app outlives the module, as in the program's own close-down.
    testsupport::StartUpContext context_;
    HINSTANCE module_;
    bool ready_;
    HINSTANCE savedModule_;
    HICON savedIconLarge_;
    HICON savedIconSmall_;
};

// The desktop is the user's home folder under Wine, shared by every prefix on
// the machine; a product name of this process's own keeps the shortcut files
// of test runs side by side apart. Sets g_app->productName and returns it.
std::wstring UseUniqueProductName();

// Points g_resourceModule at another module (a file name in the dist folder,
// or a full path) for its lifetime.
class ModuleSwitch : NotCopied {
public:
    explicit ModuleSwitch(const wchar_t *moduleFileName);
    ~ModuleSwitch();

    bool ready() const { return module_ != nullptr; }

private:
    HINSTANCE module_;
    HINSTANCE previous_;
};

// Wine starts winemenubuilder for every link saved, to mirror it into the
// host's desktop and menus. This override keeps it from running while a test
// writes links; an override of the prefix's own is left as it was.
class MenuBuilderOff : NotCopied {
public:
    MenuBuilderOff();
    ~MenuBuilderOff();

private:
    bool set_;
};

}  // namespace uitest

#endif
