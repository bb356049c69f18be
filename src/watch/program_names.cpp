#include "watch/program_names.h"

#include <string.h>

#include "base/owned_string.h"
#include "watch/watch_system.h"

namespace {

// Names go into one growing heap block; a few hundred processes is usual.
struct NameList {
    wchar_t (*names)[MAX_PATH];
    int count;
    int capacity;
};

bool Contains(const NameList &list, const wchar_t *name)
{
    for (int i = 0; i < list.count; i++)
        if (lstrcmpiW(list.names[i], name) == 0) return true;
    return false;
}

bool Add(NameList *list, const wchar_t *name)
{
    if (!name[0] || Contains(*list, name)) return true;
    if (list->count == list->capacity) {
        int capacity = list->capacity ? list->capacity * 2 : 64;
        size_t bytes = static_cast<size_t>(capacity) * sizeof(list->names[0]);
        void *grown = list->names ? HeapReAlloc(GetProcessHeap(), 0, list->names, bytes)
                                  : HeapAlloc(GetProcessHeap(), 0, bytes);
        if (!grown) return false;
        list->names = static_cast<wchar_t (*)[MAX_PATH]>(grown);
        list->capacity = capacity;
    }
    CopyText(list->names[list->count++], MAX_PATH, name);
    return true;
}

// Insertion sort: the list is short, and it needs no run-time library.
void Sort(NameList *list)
{
    wchar_t held[MAX_PATH];
    for (int i = 1; i < list->count; i++) {
        CopyText(held, MAX_PATH, list->names[i]);
        int j = i;
        for (; j > 0 && lstrcmpiW(list->names[j - 1], held) > 0; j--)
            CopyText(list->names[j], MAX_PATH, list->names[j - 1]);
        CopyText(list->names[j], MAX_PATH, held);
    }
}

wchar_t *Pack(const NameList &list)
{
    size_t units = 1;
    for (int i = 0; i < list.count; i++) units += wcslen(list.names[i]) + 1;
    wchar_t *block = static_cast<wchar_t *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, units * sizeof(wchar_t)));
    if (!block) return nullptr;
    wchar_t *next = block;
    for (int i = 0; i < list.count; i++) {
        size_t length = wcslen(list.names[i]);
        memcpy(next, list.names[i], length * sizeof(wchar_t));
        next += length + 1;
    }
    return block;
}

struct Listing {
    NameList list;
    bool complete;
};

void AddProcess(DWORD processId, const wchar_t *imageName, void *context)
{
    Listing *listing = static_cast<Listing *>(context);
    // Process 0 is the system's idle time ("[System Process]"), which never ends.
    if (processId != 0 && listing->complete) listing->complete = Add(&listing->list, imageName);
}

}  // namespace

// The same listing the watch counts its programs from, through the same seam.
wchar_t *RunningProgramNames()
{
    Listing listing = {{}, true};
    bool complete = WatchSystemEachProcess(AddProcess, &listing) && listing.complete;
    NameList &list = listing.list;
    wchar_t *block = nullptr;
    if (complete) {
        Sort(&list);
        block = Pack(list);
    }
    if (list.names) HeapFree(GetProcessHeap(), 0, list.names);
    return block;
}

void ProgramNamesFree(wchar_t *names)
{
    if (names) HeapFree(GetProcessHeap(), 0, names);
}
