#include "resources/resource_module.h"

#include "resources/format_check.h"

#include <wchar.h>

#include "context/app_context.h"
#include "base/owned_string.h"
#include "resources/resource_ids.h"

HINSTANCE g_resourceModule = nullptr;
HICON g_iconLarge = nullptr;
HICON g_iconSmall = nullptr;

namespace {

const int kRingSlots = 256;
const int kDefaultStringUnits = 4096;

struct RingSlot {
    wchar_t *buffer;
    int capacity;
};

RingSlot g_ring[kRingSlots];
int g_ringCursor = 0;
bool g_ringFirstUse = true;

// A module is only ever read for its resources. Loading it as a data file
// means a DLL planted under one of the names never gets to run code.
HINSTANCE LoadAsData(const wchar_t *path)
{
    HINSTANCE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)  // before Vista the second flag is unknown
        module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

}  // namespace

HINSTANCE LoadResourceModule(const wchar_t *fileName)
{
    wchar_t path[KELDRIN_PATH_UNITS];
    // The bare name is looked for where a library search finds it first: the
    // program's own folder, never the current one.
    if (g_app && g_app->programDir &&
        FormatText(path, COUNTOF(path), L"%ls%ls", g_app->programDir, fileName) < COUNTOF(path) - 1) {
        if (HINSTANCE module = LoadAsData(path)) return module;
    }
    const wchar_t *places[] = {L".\\PlugIn\\%ls", L".\\DLL\\%ls", L"..\\%ls"};
    for (const wchar_t *format : places) {
        if (FormatText(path, COUNTOF(path), format, fileName) >= COUNTOF(path) - 1) continue;
        if (HINSTANCE module = LoadAsData(path)) return module;
    }
    return nullptr;
}

namespace {

// Every size of the window icon loaded so far: a dialog on a monitor of
// another DPI asks for other sizes, and every dialog open may still show the
// ones it was given, so none is destroyed before the program closes down.
struct LoadedIcon {
    int size;
    HICON icon;
};
LoadedIcon g_loadedIcons[12];
HINSTANCE g_iconModule = nullptr;

}  // namespace

HICON WindowIcon(int size)
{
    for (const LoadedIcon &loaded : g_loadedIcons)
        if (loaded.icon && loaded.size == size) return loaded.icon;
    if (!g_iconModule || size <= 0) return g_iconLarge;
    for (LoadedIcon &free : g_loadedIcons) {
        if (free.icon) continue;
        free.icon = static_cast<HICON>(
            LoadImageW(g_iconModule, MAKEINTRESOURCEW(IDI_KELDRIN), IMAGE_ICON, size, size, LR_COLOR));
        free.size = size;
        return free.icon;
    }
    return g_iconLarge;  // a dozen sizes in one run: the next is not worth another icon
}

void LoadWindowIcons(HINSTANCE module)
{
    g_iconModule = module;
    g_iconLarge = WindowIcon(GetSystemMetrics(SM_CXICON));
    g_iconSmall = WindowIcon(GetSystemMetrics(SM_CXSMICON));
}

void DestroyWindowIcons()
{
    for (LoadedIcon &loaded : g_loadedIcons) {
        if (loaded.icon) DestroyIcon(loaded.icon);
        loaded = LoadedIcon{0, nullptr};
    }
    g_iconLarge = g_iconSmall = nullptr;
    g_iconModule = nullptr;
}

wchar_t *LoadResString(HINSTANCE module, int id, int capacity)
{
    if (!module) return nullptr;
    if (g_ringFirstUse) {
        g_ringFirstUse = false;
        g_ringCursor = 0;
        for (RingSlot &slot : g_ring) slot = RingSlot{nullptr, 0};
    } else {
        g_ringCursor = (g_ringCursor + 1) % kRingSlots;
    }

    RingSlot &slot = g_ring[g_ringCursor];
    if (!slot.buffer || slot.capacity < capacity || slot.capacity < 1) {
        slot.capacity = capacity >= 1 ? capacity : kDefaultStringUnits;
        HeapTextBufferFree(slot.buffer);
        slot.buffer = HeapTextBuffer(static_cast<size_t>(slot.capacity));
    }
    if (slot.buffer) {
        wmemset(slot.buffer, 0, static_cast<size_t>(slot.capacity));
        LoadStringW(module, static_cast<UINT>(id), slot.buffer, slot.capacity);
    }
    return slot.buffer;
}

const wchar_t *LoadResFormat(HINSTANCE module, int id, const char *arguments, const wchar_t *fallback)
{
    const wchar_t *format = LoadResString(module, id, -1);
    return format && format[0] && FormatMatches(format, arguments) ? format : fallback;
}
