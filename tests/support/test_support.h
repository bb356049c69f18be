// What the in-process tests of every folder share: the built modules in the
// dist folder and altered copies of them, texts read from modules and
// windows, scratch files and folders under %TEMP%, the program's context as
// start-up makes it, and a watcher that answers the message boxes the code
// under test shows, so no test ever waits for a person.
#ifndef KELDRIN_TEST_SUPPORT_H
#define KELDRIN_TEST_SUPPORT_H

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class AppContext;

namespace testsupport {

// What a scope object derives from: each one undoes what it did, once.
class NotCopied {
public:
    NotCopied() = default;
    NotCopied(const NotCopied &) = delete;
    NotCopied &operator=(const NotCopied &) = delete;
};

// The dist folder from KELDRIN_DIST (set by CTest), else beside the build's
// tests folder; a Unix path becomes its Wine Z: form. Ends in a backslash.
std::wstring DistFolder();

// A module loaded as the program loads it: as data, no code run.
HINSTANCE LoadModuleAsData(const std::wstring &path);

// String id of a module, whole (LoadStringW's count, not the first NUL);
// empty when the module has none.
std::wstring ModuleString(HINSTANCE module, UINT id);

// Whether the text holds a character of the CJK blocks (U+3000 and up).
bool HasJapanese(const std::wstring &text);

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);

// Whether a path names an existing file system object.
bool Exists(const std::wstring &path);

// A shell folder's path as the shell reports it (independent of the code under test).
std::wstring ShellFolder(int csidl);

// <temp>\<stem>-<process id>-<n><suffix>, a name no other call of this
// process gets. Nothing is created.
std::wstring UniqueTempPath(const wchar_t *stem, const wchar_t *suffix = L"");

// A new empty folder at a UniqueTempPath (no trailing backslash); empty when
// it cannot be made.
std::wstring ScratchFolder(const wchar_t *stem);

// Deletes a folder with everything below it; true when the folder is gone.
bool RemoveTree(const std::wstring &folder);

// A file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring &path);

// g_app made as the entry point makes it (constructed in a zeroed block of
// the process heap, nothing read from a module yet) for this object's
// lifetime; the previous g_app comes back afterwards.
class StartUpContext : NotCopied {
public:
    StartUpContext();
    ~StartUpContext();

private:
    AppContext *app_;
    AppContext *saved_;
};

// g_app as start-up makes it (a StartUpContext) with the product name
// "Keldrin" and its settings file at a scratch path of its own, deleted
// afterwards. Where() moves the settings where nothing can be written: into
// a folder that does not exist, or nowhere, as when the path does not fit.
class SettingsFileScope : NotCopied {
public:
    enum Where { kScratchFile, kMissingFolder, kPathTooLong };

    SettingsFileScope();
    ~SettingsFileScope();

    void Use(Where where);
    const std::wstring &path() const { return path_; }
    // The recovery mark the screen-saver switch leaves in the file: 1 when set.
    int Marked() const;

private:
    StartUpContext context_;
    std::wstring path_;
};

// A copy of a shipped module with some strings replaced (an empty text
// removes the string), written with the resource update functions, so a test
// can feed the code the module a translator might get wrong. module() is null
// when the copy could not be made.
class AlteredModule : NotCopied {
public:
    AlteredModule(const std::wstring &sourcePath, const std::map<UINT, std::wstring> &strings);
    ~AlteredModule();

    HINSTANCE module() const { return module_; }
    const std::wstring &path() const { return path_; }

private:
    std::wstring path_;
    HINSTANCE module_ = nullptr;
};

// What the watcher read from a message box before it pressed OK.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner;
    bool hasOkButton;
    bool okOnly;  // OK is the only visible button
    HICON icon;   // the icon shown beside the text, or null
};

// Watches this process for message boxes from its start until Stop(): each
// one is read and answered with OK. A box is told from the program's own
// dialogs by the text control every message box has (id 0xFFFF).
class MessageBoxWatcher : NotCopied {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();

    // Ends the watch after lingering a little, so a box shown late is still seen.
    std::vector<SeenBox> Stop(DWORD lingerMs = 0);

private:
    void Run();

    std::atomic<bool> stop_;
    std::mutex lock_;
    std::vector<SeenBox> seen_;
    std::thread thread_;
};

// The Windows 8 look's colours, as every test of the coloured dialogs expects them.
namespace windows8 {
const COLORREF kBackground = RGB(31, 174, 255);     // the dialog and its static controls
const COLORREF kStaticText = RGB(255, 224, 128);
const COLORREF kFirstFace = RGB(27, 88, 184);       // OK / run now
const COLORREF kSecondFace = RGB(255, 29, 119);     // Cancel
const COLORREF kButtonText = RGB(255, 255, 0);
const COLORREF kFirstActiveText = RGB(255, 0, 0);   // while selected, focused or hot
const COLORREF kSecondActiveText = RGB(0, 255, 255);
const COLORREF kLaterFace = RGB(112, 48, 160);      // the countdown's Later
const COLORREF kLaterActiveText = RGB(255, 255, 255);
const COLORREF kGreyedText = RGB(176, 144, 200);    // any of the three, greyed
}  // namespace windows8

// "ScreenSaverIsSecure" under HKCU\Control Panel\Desktop as it was before a
// test, put back afterwards exactly (type and bytes, or absent).
class SaverValue : NotCopied {
public:
    SaverValue();
    ~SaverValue();

    struct Value {
        bool present;
        DWORD type;
        std::vector<BYTE> bytes;
        bool operator==(const Value &other) const
        {
            return present == other.present && (!present || (type == other.type && bytes == other.bytes));
        }
    };

    Value Read() const;
    // The value as a text: "<absent>", "<type N>" for anything but REG_SZ.
    std::wstring ReadText() const;
    static Value Text(const std::wstring &text);

    void Write(DWORD type, const std::vector<BYTE> &bytes);
    void SetText(const std::wstring &text) { Write(REG_SZ, Text(text).bytes); }
    void SetDword(DWORD number);
    void Delete();

    // From here on, a write that changes a value of the key signals WrittenSinceWatch().
    bool Watch();
    bool WrittenSinceWatch() const;

private:
    HKEY key_ = nullptr;
    HANDLE watch_ = nullptr;
    Value original_;
};

std::string Describe(const SaverValue::Value &value);

}  // namespace testsupport

#endif
