// winprobe: the Windows-side half of the end-to-end tests. The Python harness
// runs on Linux and cannot see windows of a Wine process or pass a command line
// verbatim through `wine prog.exe ARG` (Wine re-quotes each argument), so this
// console program does those two things from inside the prefix.
//
//   winprobe launch   run the command line in KELDRIN_E2E_COMMAND, print the
//                     child's process id, exit with the child's exit code
//   winprobe serve    answer one command per stdin line (see RunCommand)
//
// Text on stdin and stdout is UTF-8. Every answer is one line; answers that
// list several items send one line per item and then a line holding ".".

#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

namespace {

const DWORD kDefaultLaunchTimeoutMs = 60000;
const DWORD kMessageTimeoutMs = 5000;
// A click that opens a nested modal dialog does not return until that dialog
// closes, so a click waits only this long for the button to finish.
const DWORD kClickWaitMs = 500;
const UINT kLaunchTimeoutExitCode = 99;
const UINT kLaunchFailedExitCode = 98;

typedef std::vector<std::wstring> Arguments;

std::string ToUtf8(const std::wstring &text)
{
    if (text.empty()) {
        return std::string();
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], size, NULL, NULL);
    return out;
}

std::wstring FromUtf8(const std::string &text)
{
    if (text.empty()) {
        return std::wstring();
    }
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0);
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], size);
    return out;
}

// Texts may hold line breaks and tabs; escaping keeps each answer on one line
// and keeps tab free as the field separator.
std::wstring Escape(const std::wstring &text)
{
    std::wstring out;
    for (wchar_t ch : text) {
        switch (ch) {
        case L'\\': out += L"\\\\"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default: out += ch; break;
        }
    }
    return out;
}

std::wstring Unescape(const std::wstring &text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        wchar_t next = text[++i];
        switch (next) {
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L't': out += L'\t'; break;
        default: out += next; break;
        }
    }
    return out;
}

// Written straight to the handle: no CRT buffering or text-mode translation
// stands between an answer and the harness reading the pipe.
void WriteOut(const std::string &bytes)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    size_t done = 0;
    while (done < bytes.size()) {
        if (!WriteFile(out, bytes.data() + done, (DWORD)(bytes.size() - done), &written, NULL) || written == 0) {
            return;
        }
        done += written;
    }
}

void Answer(const std::wstring &line)
{
    WriteOut(ToUtf8(line) + "\n");
}

void WriteErr(const std::wstring &line)
{
    std::string bytes = ToUtf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), (DWORD)bytes.size(), &written, NULL);
}

std::wstring GetEnv(const wchar_t *name, bool *present)
{
    std::vector<wchar_t> buffer(32768);
    DWORD length = GetEnvironmentVariableW(name, buffer.data(), (DWORD)buffer.size());
    if (present) {
        *present = length > 0 && length < buffer.size();
    }
    if (length == 0 || length >= buffer.size()) {
        return std::wstring();
    }
    return std::wstring(buffer.data(), length);
}

std::wstring Hex(ULONG_PTR value)
{
    wchar_t text[32];
    // Handles are pointer-sized: long is 32 bits on 64-bit Windows too.
    swprintf_s(text, 32, L"0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::wstring Number(long long value)
{
    wchar_t text[32];
    swprintf_s(text, 32, L"%lld", value);
    return text;
}

HWND ParseHwnd(const std::wstring &text)
{
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(wcstoull(text.c_str(), NULL, 16)));
}

DWORD ParseDecimal(const std::wstring &text)
{
    return wcstoul(text.c_str(), NULL, 10);
}

// ---- launch ---------------------------------------------------------------

int Launch()
{
    bool present = false;
    std::wstring command = GetEnv(L"KELDRIN_E2E_COMMAND", &present);
    if (!present) {
        WriteErr(L"winprobe: KELDRIN_E2E_COMMAND is not set");
        return kLaunchFailedExitCode;
    }
    bool hasCwd = false;
    std::wstring cwd = GetEnv(L"KELDRIN_E2E_CWD", &hasCwd);
    bool hasTimeout = false;
    std::wstring timeoutText = GetEnv(L"KELDRIN_E2E_TIMEOUT_MS", &hasTimeout);
    DWORD timeoutMs = hasTimeout ? ParseDecimal(timeoutText) : kDefaultLaunchTimeoutMs;

    // Wine reads WINEDEBUG once when a process starts, so the launcher can run
    // quiet and hand the child its own debug channels.
    bool hasChildDebug = false;
    std::wstring childDebug = GetEnv(L"KELDRIN_E2E_CHILD_WINEDEBUG", &hasChildDebug);
    if (hasChildDebug) {
        SetEnvironmentVariableW(L"WINEDEBUG", childDebug.c_str());
    }
    SetEnvironmentVariableW(L"KELDRIN_E2E_COMMAND", NULL);
    SetEnvironmentVariableW(L"KELDRIN_E2E_CWD", NULL);
    SetEnvironmentVariableW(L"KELDRIN_E2E_TIMEOUT_MS", NULL);
    SetEnvironmentVariableW(L"KELDRIN_E2E_CHILD_WINEDEBUG", NULL);

    // CreateProcessW may write into the command line, so it gets a copy.
    std::vector<wchar_t> commandLine(command.begin(), command.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, commandLine.data(), NULL, NULL, FALSE, 0, NULL,
                        hasCwd ? cwd.c_str() : NULL, &startup, &process)) {
        WriteErr(L"winprobe: CreateProcessW failed, error " + Number(GetLastError()) + L": " + command);
        return kLaunchFailedExitCode;
    }
    CloseHandle(process.hThread);
    Answer(Number(process.dwProcessId));

    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        WriteErr(L"winprobe: the child did not end within " + Number(timeoutMs) + L" ms; terminated");
        TerminateProcess(process.hProcess, kLaunchTimeoutExitCode);
        WaitForSingleObject(process.hProcess, kMessageTimeoutMs);
        CloseHandle(process.hProcess);
        return kLaunchTimeoutExitCode;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return (int)exitCode;
}

// ---- serve ----------------------------------------------------------------

struct FindWindowQuery {
    DWORD pid;
    const std::wstring *titlePart;
    HWND found;
};

std::wstring WindowTitle(HWND hwnd)
{
    // GetWindowTextW reads the stored caption of another process's window
    // without sending a message, so a busy target cannot stall the probe.
    wchar_t text[1024] = L"";
    GetWindowTextW(hwnd, text, 1024);
    return text;
}

std::wstring WindowClass(HWND hwnd)
{
    wchar_t name[256] = L"";
    GetClassNameW(hwnd, name, 256);
    return name;
}

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM param)
{
    FindWindowQuery *query = reinterpret_cast<FindWindowQuery *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (query->pid != 0 ? pid != query->pid : pid == GetCurrentProcessId()) {
        return TRUE;
    }
    if (!IsWindowVisible(hwnd)) {
        return TRUE;
    }
    if (!query->titlePart->empty() && WindowTitle(hwnd).find(*query->titlePart) == std::wstring::npos) {
        return TRUE;
    }
    query->found = hwnd;
    return FALSE;
}

bool ProcessEnded(HANDLE process)
{
    return process != NULL && WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

void CommandWait(const Arguments &args)
{
    DWORD pid = ParseDecimal(args[1]);
    DWORD timeoutMs = ParseDecimal(args[2]);
    std::wstring titlePart = args.size() > 3 ? args[3] : std::wstring();
    HANDLE process = pid != 0 ? OpenProcess(SYNCHRONIZE, FALSE, pid) : NULL;
    DWORD start = GetTickCount();
    for (;;) {
        FindWindowQuery query = {pid, &titlePart, NULL};
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&query));
        if (query.found) {
            Answer(Hex(reinterpret_cast<ULONG_PTR>(query.found)));
            break;
        }
        if (ProcessEnded(process) || (pid != 0 && process == NULL)) {
            Answer(L"exited");
            break;
        }
        if (GetTickCount() - start >= timeoutMs) {
            Answer(L"none");
            break;
        }
        Sleep(20);
    }
    if (process) {
        CloseHandle(process);
    }
}

void CommandWaitGone(const Arguments &args)
{
    HWND hwnd = ParseHwnd(args[1]);
    DWORD timeoutMs = ParseDecimal(args[2]);
    DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start >= timeoutMs) {
            Answer(L"0");
            return;
        }
        Sleep(20);
    }
    Answer(L"1");
}

// The window args[1] names; NULL, answered as an error, when there is none.
HWND WindowArgument(const Arguments &args)
{
    HWND hwnd = ParseHwnd(args[1]);
    if (!IsWindow(hwnd)) {
        Answer(L"error no window " + args[1]);
        return NULL;
    }
    return hwnd;
}

// The control args[2] names in the window args[1] names (0: the window
// itself); NULL, answered as an error, when either is missing.
HWND TargetArgument(const Arguments &args)
{
    HWND hwnd = WindowArgument(args);
    if (hwnd == NULL) {
        return NULL;
    }
    int id = (int)wcstol(args[2].c_str(), NULL, 10);
    HWND target = id == 0 ? hwnd : GetDlgItem(hwnd, id);
    if (target == NULL) {
        Answer(L"error no control " + args[2]);
    }
    return target;
}

bool SendWithTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, DWORD_PTR *result)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, timeoutMs,
                               result ? result : &ignored) != 0;
}

bool ReadText(HWND hwnd, std::wstring *text)
{
    DWORD_PTR length = 0;
    if (!SendWithTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0, kMessageTimeoutMs, &length)) {
        return false;
    }
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                         kMessageTimeoutMs, &copied)) {
        return false;
    }
    *text = std::wstring(buffer.data(), copied);
    return true;
}

struct ChildList {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param)
{
    reinterpret_cast<ChildList *>(param)->windows.push_back(hwnd);
    return TRUE;
}

void CommandChildren(const Arguments &args)
{
    HWND dialog = WindowArgument(args);
    if (dialog == NULL) {
        return;
    }
    ChildList list;
    EnumChildWindows(dialog, CollectWindow, reinterpret_cast<LPARAM>(&list));
    for (HWND child : list.windows) {
        // Only direct children: a combo box's edit or list is not a dialog item.
        if (GetParent(child) != dialog) {
            continue;
        }
        std::wstring text;
        if (!ReadText(child, &text)) {
            text = WindowTitle(child);
        }
        wchar_t style[16];
        swprintf_s(style, 16, L"%08lX", (unsigned long)GetWindowLongW(child, GWL_STYLE));
        Answer(Number(GetDlgCtrlID(child)) + L"\t" + WindowClass(child) + L"\t" + style + L"\t" +
               Escape(text) + L"\t" + Hex(reinterpret_cast<ULONG_PTR>(child)));
    }
    Answer(L".");
}

void CommandWindows(const Arguments &args)
{
    DWORD pid = ParseDecimal(args[1]);
    ChildList list;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&list));
    for (HWND hwnd : list.windows) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != pid) {
            continue;
        }
        Answer(Hex(reinterpret_cast<ULONG_PTR>(hwnd)) + L"\t" + WindowClass(hwnd) + L"\t" +
               (IsWindowVisible(hwnd) ? L"1" : L"0") + L"\t" + Escape(WindowTitle(hwnd)));
    }
    Answer(L".");
}

WORD VirtualKeyFromName(const std::wstring &name)
{
    static const struct {
        const wchar_t *name;
        WORD vk;
    } names[] = {
        {L"enter", VK_RETURN}, {L"return", VK_RETURN}, {L"esc", VK_ESCAPE}, {L"escape", VK_ESCAPE},
        {L"tab", VK_TAB},      {L"space", VK_SPACE},   {L"up", VK_UP},      {L"down", VK_DOWN},
        {L"left", VK_LEFT},    {L"right", VK_RIGHT},
    };
    for (const auto &entry : names) {
        if (_wcsicmp(entry.name, name.c_str()) == 0) {
            return entry.vk;
        }
    }
    return (WORD)wcstoul(name.c_str(), NULL, 0);
}

// The key goes to the control that has the focus in the target's thread, as
// a real key press would, so the dialog's own loop (IsDialogMessage) turns
// Enter and Esc into the default button and IDCANCEL.
void CommandKey(const Arguments &args)
{
    HWND hwnd = WindowArgument(args);
    if (hwnd == NULL) {
        return;
    }
    WORD vk = VirtualKeyFromName(args[2]);
    DWORD thread = GetWindowThreadProcessId(hwnd, NULL);
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND focus = NULL;
    if (thread != 0 && GetGUIThreadInfo(thread, &info)) {
        focus = info.hwndFocus;
    }
    if (focus == NULL) {
        focus = hwnd;
    }
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | ((LPARAM)scan << 16);
    // Bits 30 and 31 of a 32-bit long would overflow; LPARAM is pointer-sized.
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    bool posted = PostMessageW(focus, WM_KEYDOWN, vk, down) && PostMessageW(focus, WM_KEYUP, vk, up);
    Answer(posted ? L"ok " + Hex(reinterpret_cast<ULONG_PTR>(focus)) : L"error PostMessageW failed");
}

HKEY ParseRoot(const std::wstring &path, std::wstring *subKey)
{
    static const struct {
        const wchar_t *name;
        HKEY root;
    } roots[] = {
        {L"HKCU", HKEY_CURRENT_USER},
        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", HKEY_LOCAL_MACHINE},
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKCR", HKEY_CLASSES_ROOT},
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    };
    size_t slash = path.find(L'\\');
    std::wstring rootName = path.substr(0, slash);
    *subKey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    for (const auto &entry : roots) {
        if (_wcsicmp(entry.name, rootName.c_str()) == 0) {
            return entry.root;
        }
    }
    return NULL;
}

void CommandRegGet(const Arguments &args)
{
    const std::wstring &name = args[2];
    std::wstring subKey;
    HKEY root = ParseRoot(args[1], &subKey);
    HKEY key = NULL;
    if (root == NULL) {
        Answer(L"error unknown root key");
        return;
    }
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        Answer(L"none");
        return;
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name.c_str(), NULL, &type, NULL, &size);
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExW(key, name.c_str(), NULL, &type, data.data(), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        Answer(L"none");
        return;
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // The stored size counts the terminating NUL when the writer included it.
        std::wstring text(reinterpret_cast<const wchar_t *>(data.data()), size / sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        Answer((type == REG_SZ ? L"sz " : L"expand_sz ") + Escape(text));
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value = 0;
        memcpy(&value, data.data(), sizeof(value));
        Answer(L"dword " + Number(value));
    } else {
        std::wstring hex;
        for (DWORD i = 0; i < size; ++i) {
            wchar_t byte[4];
            swprintf_s(byte, 4, L"%02x", data[i]);
            hex += byte;
        }
        Answer(L"type" + Number(type) + L" " + hex);
    }
}

void CommandRegSet(const Arguments &args)
{
    const std::wstring &name = args[2];
    const std::wstring &type = args[3];
    std::wstring value = Unescape(args[4]);
    std::wstring subKey;
    HKEY root = ParseRoot(args[1], &subKey);
    HKEY key = NULL;
    if (root == NULL || RegCreateKeyExW(root, subKey.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
                            ERROR_SUCCESS) {
        Answer(L"error cannot open key");
        return;
    }
    LONG status;
    if (type == L"dword") {
        DWORD number = wcstoul(value.c_str(), NULL, 0);
        status = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                                sizeof(number));
    } else if (type == L"sz") {
        status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                (DWORD)((value.size() + 1) * sizeof(wchar_t)));
    } else {
        status = ERROR_INVALID_PARAMETER;
    }
    RegCloseKey(key);
    Answer(status == ERROR_SUCCESS ? L"ok" : L"error " + Number(status));
}

void CommandRegDelete(const Arguments &args)
{
    std::wstring subKey;
    HKEY root = ParseRoot(args[1], &subKey);
    HKEY key = NULL;
    if (root == NULL || RegOpenKeyExW(root, subKey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        Answer(L"none");
        return;
    }
    LONG status = RegDeleteValueW(key, args[2].c_str());
    RegCloseKey(key);
    Answer(status == ERROR_SUCCESS ? L"ok" : L"none");
}

// Lets the harness end a program left running by a failed test; ending the
// Unix side of `winprobe launch` would leave the Windows child behind.
void CommandKill(const Arguments &args)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ParseDecimal(args[1]));
    if (process == NULL) {
        Answer(L"none");
        return;
    }
    bool ended = TerminateProcess(process, 1) && WaitForSingleObject(process, kMessageTimeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    Answer(ended ? L"ok" : L"error TerminateProcess failed");
}

// A file kept open by this process, as another program or a scanner would
// keep it, until "release": shared for reading and writing, not deleting.
std::vector<HANDLE> g_heldFiles;

// "mutex:NAME" holds a named mutex instead, as another copy of a program
// in the middle of its start would.
std::vector<HANDLE> g_heldMutexes;

void CommandHold(const Arguments &args)
{
    const std::wstring mutexPrefix = L"mutex:";
    if (args[1].compare(0, mutexPrefix.size(), mutexPrefix) == 0) {
        HANDLE mutex = CreateMutexW(NULL, TRUE, args[1].c_str() + mutexPrefix.size());
        if (mutex == NULL || GetLastError() == ERROR_ALREADY_EXISTS) {
            Answer(L"error CreateMutexW gave no new mutex " + Number(GetLastError()));
            if (mutex != NULL) CloseHandle(mutex);
            return;
        }
        g_heldMutexes.push_back(mutex);
        Answer(L"ok");
        return;
    }
    HANDLE file = CreateFileW(args[1].c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        Answer(L"error CreateFileW failed " + Number(GetLastError()));
        return;
    }
    g_heldFiles.push_back(file);
    Answer(L"ok");
}

void CommandRelease(const Arguments &)
{
    for (HANDLE file : g_heldFiles) {
        CloseHandle(file);
    }
    g_heldFiles.clear();
    for (HANDLE mutex : g_heldMutexes) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    g_heldMutexes.clear();
    Answer(L"ok");
}

// Where a window (or a dialog's control) lies on the screen, so a test can
// look at its pixels in a screenshot.
void CommandRect(const Arguments &args)
{
    HWND target = TargetArgument(args);
    if (target == NULL) {
        return;
    }
    RECT rect = {};
    if (!GetWindowRect(target, &rect)) {
        Answer(L"error GetWindowRect failed");
        return;
    }
    Answer(L"ok " + Number(rect.left) + L" " + Number(rect.top) + L" " + Number(rect.right) + L" " +
           Number(rect.bottom));
}

// A string of a resource module, loaded as data as the program loads it, so
// a test can expect the texts of whichever module the program uses.
void CommandString(const Arguments &args)
{
    const std::wstring &modulePath = args[1];
    HMODULE module = LoadLibraryExW(modulePath.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL) {
        Answer(L"error cannot load " + modulePath);
        return;
    }
    std::vector<wchar_t> text(4096, L'\0');
    int length = LoadStringW(module, ParseDecimal(args[2]), text.data(), (int)text.size());
    FreeLibrary(module);
    Answer(length > 0 ? L"ok " + Escape(std::wstring(text.data(), length)) : L"none");
}

// Arguments are separated by tabs when the line holds one (so texts and
// registry paths keep their blanks), otherwise by blanks for typing by hand.
Arguments SplitArguments(const std::wstring &line)
{
    Arguments args;
    wchar_t separator = line.find(L'\t') != std::wstring::npos ? L'\t' : L' ';
    size_t start = 0;
    for (;;) {
        size_t end = line.find(separator, start);
        std::wstring part = line.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (separator == L'\t' || !part.empty()) {
            args.push_back(part);
        }
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 1;
    }
    return args;
}

void CommandPing(const Arguments &)
{
    Answer(L"pong");
}

void CommandQuit(const Arguments &)
{
    Answer(L"bye");
}

void CommandAlive(const Arguments &args)
{
    Answer(IsWindow(ParseHwnd(args[1])) ? L"1" : L"0");
}

void CommandVisible(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) {
        Answer(IsWindowVisible(hwnd) ? L"1" : L"0");
    }
}

void CommandTopmost(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) {
        Answer((GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) ? L"1" : L"0");
    }
}

void CommandPid(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        Answer(Number(pid));
    }
}

void CommandClose(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) {
        Answer(PostMessageW(hwnd, WM_CLOSE, 0, 0) ? L"ok" : L"error PostMessageW failed");
    }
}

void CommandItem(const Arguments &args)
{
    if (HWND target = TargetArgument(args)) {
        Answer(Hex(reinterpret_cast<ULONG_PTR>(target)));
    }
}

void CommandText(const Arguments &args)
{
    if (HWND target = TargetArgument(args)) {
        std::wstring text;
        Answer(ReadText(target, &text) ? L"ok " + Escape(text) : L"error WM_GETTEXT timed out");
    }
}

// A list view's rows live in its own process: the item record and the text
// buffer go into that process's memory, where LVM_GETITEMTEXTW writes.
void CommandRows(const Arguments &args)
{
    HWND list = TargetArgument(args);
    if (!list) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return Answer(L"error OpenProcess");
    const SIZE_T textUnits = 512;
    char *remote = static_cast<char *>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textUnits * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    DWORD_PTR count = 0;
    std::wstring rows;
    if (remote && SendWithTimeout(list, LVM_GETITEMCOUNT, 0, 0, kMessageTimeoutMs, &count)) {
        for (DWORD_PTR i = 0; i < count; i++) {
            LVITEMW item = {};
            item.pszText = reinterpret_cast<wchar_t *>(remote + sizeof(LVITEMW));
            item.cchTextMax = static_cast<int>(textUnits);
            wchar_t text[textUnits] = L"";
            DWORD_PTR length = 0;
            if (WriteProcessMemory(process, remote, &item, sizeof(item), nullptr) &&
                SendWithTimeout(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote), kMessageTimeoutMs, &length))
                ReadProcessMemory(process, item.pszText, text, sizeof(text) - sizeof(wchar_t), nullptr);
            rows += (i ? L"\n" : L"") + std::wstring(text);
        }
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    Answer(remote ? L"ok " + Escape(rows) : L"error VirtualAllocEx");
}

void CommandChecked(const Arguments &args)
{
    if (HWND target = TargetArgument(args)) {
        DWORD_PTR state = 0;
        bool done = SendWithTimeout(target, BM_GETCHECK, 0, 0, kMessageTimeoutMs, &state);
        Answer(done ? Number((long long)state) : L"error BM_GETCHECK timed out");
    }
}

// Sent, not posted, so a following command sees the click's effect; the
// short timeout answers "pending" when the click opened a nested modal loop
// (or ended the process) instead of blocking.
void CommandClick(const Arguments &args)
{
    if (HWND target = TargetArgument(args)) {
        Answer(SendWithTimeout(target, BM_CLICK, 0, 0, kClickWaitMs, NULL) ? L"ok" : L"pending");
    }
}

void CommandSetText(const Arguments &args)
{
    if (HWND target = TargetArgument(args)) {
        std::wstring text = args.size() > 3 ? Unescape(args[3]) : std::wstring();
        bool done = SendWithTimeout(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                    kMessageTimeoutMs, NULL);
        Answer(done ? L"ok" : L"error WM_SETTEXT timed out");
    }
}

// "send" and "post": the parameters are pointer-sized, so a handle passed in
// one arrives whole.
void CommandMessage(const Arguments &args)
{
    HWND target = TargetArgument(args);
    if (target == NULL) {
        return;
    }
    UINT message = wcstoul(args[3].c_str(), NULL, 0);
    WPARAM wParam = static_cast<WPARAM>(wcstoull(args[4].c_str(), NULL, 0));
    LPARAM lParam = static_cast<LPARAM>(wcstoll(args[5].c_str(), NULL, 0));
    if (args[0] == L"post") {
        Answer(PostMessageW(target, message, wParam, lParam) ? L"ok" : L"error PostMessageW failed");
        return;
    }
    DWORD_PTR result = 0;
    bool done = SendWithTimeout(target, message, wParam, lParam, kMessageTimeoutMs, &result);
    Answer(done ? L"ok " + Number((long long)(LONG_PTR)result) : L"error message timed out");
}

// ---- windows of the probe's own ----------------------------------------

// A window that stands for another program on the user's desktop: "window"
// keeps its thread pumping messages and brings it to the front, as the window
// the user types in; "hang" leaves its thread asleep after showing it, as a
// program that stopped answering (a broadcast sent to it waits forever).
struct OwnWindow {
    std::wstring title;
    bool hung;
    HWND hwnd;
    HANDLE ready;
};

LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

DWORD WINAPI OwnWindowThread(void *param)
{
    OwnWindow *own = static_cast<OwnWindow *>(param);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = OwnWindowProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"KeldrinProbeWindow";
    RegisterClassW(&windowClass);  // a second window finds the class there
    own->hwnd = CreateWindowExW(0, L"KeldrinProbeWindow", own->title.c_str(), WS_OVERLAPPEDWINDOW, 120, 90, 640,
                                420, NULL, NULL, GetModuleHandleW(NULL), NULL);
    if (own->hwnd != NULL) {
        // A hung program's window stays where it was; the user's comes to the front.
        ShowWindow(own->hwnd, own->hung ? SW_SHOWNOACTIVATE : SW_SHOW);
        if (!own->hung) {
            SetForegroundWindow(own->hwnd);
            SetFocus(own->hwnd);
        }
    }
    bool hung = own->hung;
    SetEvent(own->ready);  // *own belongs to the caller from here on
    if (hung) {
        Sleep(INFINITE);
    }
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

void CommandOwnWindow(const Arguments &args)
{
    OwnWindow own = {args[1], args[0] == L"hang", NULL, CreateEventW(NULL, TRUE, FALSE, NULL)};
    HANDLE thread = CreateThread(NULL, 0, OwnWindowThread, &own, 0, NULL);
    if (thread == NULL) {
        Answer(L"error CreateThread failed");
        CloseHandle(own.ready);
        return;
    }
    WaitForSingleObject(own.ready, kMessageTimeoutMs);
    CloseHandle(thread);
    CloseHandle(own.ready);
    Answer(own.hwnd != NULL ? Hex(reinterpret_cast<ULONG_PTR>(own.hwnd)) : L"error CreateWindowExW failed");
}

void CommandForeground(const Arguments &)
{
    Answer(Hex(reinterpret_cast<ULONG_PTR>(GetForegroundWindow())));
}

// The user's click on a window of another program: it becomes the foreground.
void CommandActivate(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) Answer(SetForegroundWindow(hwnd) ? L"ok" : L"error not activated");
}

void CommandExStyle(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) {
        wchar_t style[16];
        swprintf_s(style, 16, L"%08lX", (unsigned long)GetWindowLongW(hwnd, GWL_EXSTYLE));
        Answer(style);
    }
}

void CommandIconic(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) {
        Answer(IsIconic(hwnd) ? L"1" : L"0");
    }
}

// Asynchronous, so a window that does not answer cannot hold the probe up.
void CommandShow(const Arguments &args)
{
    if (HWND hwnd = WindowArgument(args)) {
        ShowWindowAsync(hwnd, (int)ParseDecimal(args[2]));  // its result is the old visibility, not success
        Answer(L"ok");
    }
}

// A hand on the mouse: a one-pixel move to and fro every 20 ms for args[1]
// ms. Wine counts it as the session's input only while this process lives.
void CommandMove(const Arguments &args)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    DWORD start = GetTickCount(), last = start;
    for (input.mi.dx = 1; GetTickCount() - start < ParseDecimal(args[1]); input.mi.dx = -input.mi.dx) {
        if (SendInput(1, &input, sizeof input) == 1) last = GetTickCount();
        Sleep(20);
    }
    Answer(Number(last));
}

struct Command {
    const wchar_t *name;
    size_t minArgs;    // counting the name
    void (*run)(const Arguments &args);
};

// The serve commands; <hwnd> is hexadecimal, <id> a control id (0: the window
// itself), <pid> decimal. Answers in brackets.
//   wait <pid|0> <ms> [title part]   a visible top-level window [hwnd | none | exited]
//   waitgone <hwnd> <ms>             [1 gone | 0 still there]
//   windows <pid>                    top-level windows [hwnd class visible title ... .]
//   children <hwnd>                  direct children [id class style text hwnd ... .]
//   text|checked|item <hwnd> <id>    [ok text | check state | control hwnd]
//   click <hwnd> <id>                BM_CLICK [ok | pending]
//   settext <hwnd> <id> <text>       WM_SETTEXT [ok]
//   key <hwnd> <name|vk>             key press to the focused control [ok hwnd]
//   send|post <hwnd> <id> <msg> <wp> <lp>   [ok result | ok]
//   close|alive|visible|pid <hwnd>   WM_CLOSE [ok] | [1|0] | [1|0] | [pid]
//   topmost <hwnd>                   [1|0] (WS_EX_TOPMOST)
//   exstyle|iconic <hwnd>            [extended style in hex | 1|0]
//   show <hwnd> <SW_ number>         ShowWindowAsync [ok]
//   window|hang <title>              a window of the probe's own, in front / not answering [hwnd]
//   foreground                       [hwnd of the foreground window]
//   move <ms>                        the mouse moved for that long [tick count of the last move]
//   kill <pid>                       TerminateProcess [ok | none]
//   rect <hwnd> <id>                 screen rectangle [ok left top right bottom]
//   string <module path> <id>        a string of a resource module [ok text | none]
//   hold <path>, release             keep a file open (share read, write) / close them all [ok]
//   regget <key> <name>              [sz text | expand_sz text | dword n | typeN hex | none]
//   regset <key> <name> sz|dword <value>, regdel <key> <name>   [ok | none]
//   rows <hwnd> <id>                 a list view's first column, one row a line [ok rows]
//   ping, quit                       [pong | bye]
// Failures answer "error <why>".
const Command kCommands[] = {
    {L"wait", 3, CommandWait},         {L"waitgone", 3, CommandWaitGone}, {L"windows", 2, CommandWindows},
    {L"children", 2, CommandChildren}, {L"text", 3, CommandText},         {L"checked", 3, CommandChecked},
    {L"item", 3, CommandItem},         {L"click", 3, CommandClick},       {L"settext", 3, CommandSetText},
    {L"key", 3, CommandKey},           {L"send", 6, CommandMessage},      {L"post", 6, CommandMessage},
    {L"close", 2, CommandClose},       {L"alive", 2, CommandAlive},       {L"visible", 2, CommandVisible},
    {L"pid", 2, CommandPid},           {L"topmost", 2, CommandTopmost},   {L"kill", 2, CommandKill},
    {L"rect", 3, CommandRect},         {L"string", 3, CommandString},     {L"hold", 2, CommandHold},
    {L"release", 1, CommandRelease},
    {L"exstyle", 2, CommandExStyle},   {L"iconic", 2, CommandIconic},     {L"show", 3, CommandShow},
    {L"window", 2, CommandOwnWindow},  {L"hang", 2, CommandOwnWindow},    {L"foreground", 1, CommandForeground},
    {L"regget", 3, CommandRegGet},     {L"regset", 5, CommandRegSet},     {L"regdel", 3, CommandRegDelete},
    {L"ping", 1, CommandPing},         {L"quit", 1, CommandQuit},         {L"move", 2, CommandMove},
    {L"activate", 2, CommandActivate}, {L"rows", 3, CommandRows},
};

// Returns false for "quit".
bool RunCommand(const Arguments &args)
{
    if (args.empty()) {
        Answer(L"error empty command");
        return true;
    }
    for (const Command &command : kCommands) {
        if (args[0] != command.name) {
            continue;
        }
        if (args.size() < command.minArgs) {
            Answer(L"error too few arguments for " + args[0]);
        } else {
            command.run(args);
        }
        return command.run != CommandQuit;
    }
    Answer(L"error unknown command " + args[0]);
    return true;
}

bool ReadLine(std::string *line)
{
    static std::string pending;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        size_t newline = pending.find('\n');
        if (newline != std::string::npos) {
            *line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (!line->empty() && line->back() == '\r') {
                line->pop_back();
            }
            return true;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(in, buffer, sizeof(buffer), &got, NULL) || got == 0) {
            if (pending.empty()) {
                return false;
            }
            *line = pending;
            pending.clear();
            return true;
        }
        pending.append(buffer, got);
    }
}

int Serve()
{
    std::string line;
    while (ReadLine(&line)) {
        if (!RunCommand(SplitArguments(FromUtf8(line)))) {
            break;
        }
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc >= 2 && wcscmp(argv[1], L"launch") == 0) {
        return Launch();
    }
    if (argc >= 2 && wcscmp(argv[1], L"serve") == 0) {
        return Serve();
    }
    WriteErr(L"usage: winprobe launch | winprobe serve");
    return 2;
}
