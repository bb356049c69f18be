// What the user-interface tests share: the program set up the way start-up
// does it (a real resource module from the dist folder, a real AppContext),
// and a watcher that answers the message boxes the code under test shows, so
// no test ever waits for a person.
#ifndef KELDRIN_UI_TEST_SUPPORT_H
#define KELDRIN_UI_TEST_SUPPORT_H

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class AppContext;

namespace uitest {

// The dist folder from KELDRIN_DIST (set by CTest) in its Windows form, ending in a backslash.
std::wstring DistFolder();

// g_app, g_resourceModule and the icons as ResourceModuleStartUp leaves
// them, with the module named here; the globals are put back as they were at
// destruction.
class ProgramScope {
public:
    explicit ProgramScope(const wchar_t *moduleFileName);
    ~ProgramScope();
    ProgramScope(const ProgramScope &) = delete;
    ProgramScope &operator=(const ProgramScope &) = delete;

    bool ready() const { return module_ != nullptr; }

private:
    HINSTANCE module_;
    AppContext *app_;
    AppContext *savedApp_;
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
class ModuleSwitch {
public:
    explicit ModuleSwitch(const wchar_t *moduleFileName);
    ~ModuleSwitch();
    ModuleSwitch(const ModuleSwitch &) = delete;
    ModuleSwitch &operator=(const ModuleSwitch &) = delete;

    bool ready() const { return module_ != nullptr; }

private:
    HINSTANCE module_;
    HINSTANCE previous_;
};

// Wine starts winemenubuilder for every link saved, to mirror it into the
// host's desktop and menus. This override keeps it from running while a test
// writes links; an override of the prefix's own is left as it was.
class MenuBuilderOff {
public:
    MenuBuilderOff();
    ~MenuBuilderOff();
    MenuBuilderOff(const MenuBuilderOff &) = delete;
    MenuBuilderOff &operator=(const MenuBuilderOff &) = delete;

private:
    bool set_;
};

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool hasOkButton;
};

// Watches this process for message boxes from its start until Stop(): each
// one is read (caption, text) and answered with OK. A box is told from the
// program's own dialogs by the text control every message box has (id 0xFFFF).
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher &) = delete;
    MessageBoxWatcher &operator=(const MessageBoxWatcher &) = delete;

    // Ends the watch after lingering a little, so a box shown late is still seen.
    std::vector<SeenBox> Stop(DWORD lingerMs = 0);

private:
    void Run();

    std::atomic<bool> stop_;
    std::mutex lock_;
    std::vector<SeenBox> seen_;
    std::thread thread_;
};

// A visible message box of this process, or null.
HWND FindMessageBox();

// Whether a path names an existing file system object.
bool Exists(const std::wstring &path);

// A shell folder's path as the shell reports it (independent of the code under test).
std::wstring ShellFolder(int csidl);

}  // namespace uitest

#endif
