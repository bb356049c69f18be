#include "remote/remote_machines.h"

#include "base/argument_list.h"
#include "base/owned_string.h"

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == 0xFEFF || c == 0x3000;
}

// The whole text as UTF-16, in a heap buffer for HeapTextBufferFree; null
// when the heap is out or the bytes are nothing of the kinds a list can be.
wchar_t *WideText(const char *bytes, DWORD size, UINT codePage)
{
    if (size >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const DWORD units = (size - 2) / 2;
        wchar_t *text = HeapTextBuffer(units + 1);
        if (text) CopyMemory(text, bytes + 2, units * sizeof(wchar_t));
        return text;
    }
    const bool utf8Mark = size >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
                          static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF;
    if (utf8Mark) {
        bytes += 3;
        size -= 3;
    }
    wchar_t *text = HeapTextBuffer(size + 1);  // never more units than bytes
    if (!text || size == 0) return text;
    const int length = static_cast<int>(size);
    // Text in the code page (Shift_JIS, Windows-1252 ...) is hardly ever valid
    // UTF-8 as well, so a file without a mark that reads as UTF-8 is taken for it.
    // A failed try may leave units behind: each result is ended at its own length.
    int units = MultiByteToWideChar(CP_UTF8, utf8Mark ? 0 : MB_ERR_INVALID_CHARS, bytes, length, text, length);
    if (units <= 0 && !utf8Mark) units = MultiByteToWideChar(codePage, 0, bytes, length, text, length);
    if (units > 0) {
        text[units] = L'\0';
        return text;
    }
    HeapTextBufferFree(text);
    return nullptr;
}

}  // namespace

bool AddMachine(MachineList *list, const wchar_t *name)
{
    wchar_t given[KELDRIN_TEXT_UNITS];
    CopyText(given, COUNTOF(given), name ? name : L"");
    wchar_t *start = given;
    while (IsBlank(*start)) start++;
    size_t length = 0;
    while (start[length]) length++;
    while (length > 0 && IsBlank(start[length - 1])) start[--length] = L'\0';
    while (*start == L'\\') start++;
    if (!*start) return false;
    if (StringArrayAdd(&list->names, start) <= list->count) return false;
    list->count++;
    return true;
}

int AddMachinesFromText(MachineList *list, const char *bytes, DWORD size, UINT codePage)
{
    wchar_t *text = WideText(bytes, size, codePage);
    if (!text) return 0;
    int added = 0;
    for (wchar_t *line = text; *line;) {
        wchar_t *end = line;
        while (*end && *end != L'\r' && *end != L'\n') end++;
        const bool last = !*end;
        *end = L'\0';
        wchar_t *first = line;
        while (IsBlank(*first)) first++;
        if (*first && *first != L'#' && AddMachine(list, first)) added++;
        if (last) break;
        line = end + 1;
    }
    HeapTextBufferFree(text);
    return added;
}

bool AddMachinesFromFile(MachineList *list, const wchar_t *path, DWORD *error)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    char *bytes = nullptr;
    DWORD read = 0;
    *error = ERROR_SUCCESS;
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        *error = GetLastError();
    } else if (high != 0 || size > kMostListBytes) {
        *error = ERROR_FILE_TOO_LARGE;
    } else if (!(bytes = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, size + 1)))) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
    } else if (!ReadFile(file, bytes, size, &read, nullptr)) {
        *error = GetLastError();
    }
    CloseHandle(file);
    if (*error == ERROR_SUCCESS) AddMachinesFromText(list, bytes, read, CP_ACP);
    if (bytes) HeapFree(GetProcessHeap(), 0, bytes);
    return *error == ERROR_SUCCESS;
}

void FreeMachineList(MachineList *list)
{
    StringArrayFree(&list->names);
    list->count = 0;
}
