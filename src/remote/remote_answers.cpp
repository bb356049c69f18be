#include "remote/remote_answers.h"

#include "base/owned_string.h"
#include "context/app_context.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"

namespace {

// The module's format for id when it takes exactly these arguments, else fallback.
const wchar_t *ModuleFormat(int id, const char *arguments, const wchar_t *fallback)
{
    return LoadResFormat(g_resourceModule, id, arguments, fallback);
}

void WriteToConsole(HANDLE console, const wchar_t *lines)
{
    DWORD length = 0;
    while (lines[length]) length++;
    DWORD written = 0;
    WriteConsoleW(console, lines, length, &written, nullptr);
}

void WriteBytes(HANDLE output, const wchar_t *lines, UINT codePage)
{
    const int size = AnswerBytes(lines, codePage, nullptr, 0);
    char *bytes = size > 0 ? static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, size)) : nullptr;
    if (!bytes) return;
    DWORD written = 0;
    WriteFile(output, bytes, static_cast<DWORD>(AnswerBytes(lines, codePage, bytes, size)), &written, nullptr);
    HeapFree(GetProcessHeap(), 0, bytes);
}

void ShowBox(RemoteAction action, const wchar_t *lines, bool anyFailed)
{
    const int id = action == REMOTE_CANCEL    ? IDS_REMOTE_BOX_CANCEL
                   : action == REMOTE_RESTART ? IDS_REMOTE_BOX_RESTART
                                              : IDS_REMOTE_BOX_SHUTDOWN;
    const wchar_t *format = ModuleFormat(id, "s", L"%ls");
    size_t units = 0;
    while (lines[units]) units++;
    units += KELDRIN_TEXT_UNITS;
    wchar_t *message = HeapTextBuffer(units);
    if (!message) return;
    FormatText(message, units, format, lines);
    const wchar_t *caption = g_app && g_app->productName ? g_app->productName : L"Keldrin";
    MessageBoxW(nullptr, message, caption, MB_OK | (anyFailed ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
    HeapTextBufferFree(message);
}

}  // namespace

void AnswerLine(wchar_t *buffer, size_t units, const wchar_t *name, DWORD error)
{
    if (error == ERROR_SUCCESS) {
        FormatText(buffer, units, ModuleFormat(IDS_REMOTE_ASKED, "s", L"%ls: asked"), name);
        return;
    }
    wchar_t text[512];
    SystemErrorText(text, COUNTOF(text), error);
    FormatText(buffer, units, ModuleFormat(IDS_REMOTE_FAILED, "sds", L"%ls: error %ld: %ls"), name,
               static_cast<long>(error), text);
}

wchar_t *AnswerLines(wchar_t *const *names, const DWORD *errors, int count)
{
    const size_t lineUnits = KELDRIN_TEXT_UNITS + 2;
    const size_t units = lineUnits * static_cast<size_t>(count > 0 ? count : 0) + 1;
    wchar_t *lines = HeapTextBuffer(units);
    if (!lines) return nullptr;
    wchar_t line[lineUnits];
    for (int i = 0; i < count; i++) {
        AnswerLine(line, KELDRIN_TEXT_UNITS, names[i], errors[i]);
        AppendText(line, COUNTOF(line), L"\r\n");
        AppendText(lines, units, line);
    }
    return lines;
}

int FailedCount(const DWORD *errors, int count)
{
    int failed = 0;
    for (int i = 0; i < count; i++)
        if (errors[i] != ERROR_SUCCESS) failed++;
    return failed;
}

int AnswerBytes(const wchar_t *lines, UINT codePage, char *bytes, int size)
{
    int length = 0;
    while (lines[length]) length++;
    if (length == 0) return 0;
    return WideCharToMultiByte(codePage, 0, lines, length, bytes, bytes ? size : 0, nullptr, nullptr);
}

void TellAnswers(RemoteAction action, const wchar_t *lines, bool anyFailed)
{
    // A program of the windows subsystem gets no console of its own; the one
    // of the prompt that started it is there to be attached to.
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const bool valid = output && output != INVALID_HANDLE_VALUE;
    DWORD mode = 0;
    if (valid && GetConsoleMode(output, &mode)) {
        WriteToConsole(output, lines);
    } else if (valid && (GetFileType(output) == FILE_TYPE_DISK || GetFileType(output) == FILE_TYPE_PIPE)) {
        const UINT consolePage = GetConsoleOutputCP();
        WriteBytes(output, lines, consolePage ? consolePage : GetOEMCP());
    } else if (attached) {
        // Before Windows 8 the standard handles may still be none after the attach.
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (console != INVALID_HANDLE_VALUE) {
            WriteToConsole(console, lines);
            CloseHandle(console);
        } else {
            ShowBox(action, lines, anyFailed);
        }
    } else {
        ShowBox(action, lines, anyFailed);
    }
    if (attached) FreeConsole();
}
