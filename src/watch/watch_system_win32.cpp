#include "watch/watch_system.h"

// Before iphlpapi.h, whose newer half (netioapi.h) needs the socket types.
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <tlhelp32.h>

#include <type_traits>

#include "base/owned_string.h"
#include "base/system_function.h"

namespace {

// iphlpapi.dll is not imported: most watches never read an adapter, and the
// program's start must not pay for loading it. GetIfTable2 (Vista and later)
// has 64-bit counters; XP has GetIfTable alone, whose counters wrap at 4 GB.
typedef NETIO_STATUS(WINAPI *GetIfTable2Proc)(PMIB_IF_TABLE2 *);
typedef VOID(WINAPI *FreeMibTableProc)(PVOID);
typedef DWORD(WINAPI *GetIfTableProc)(PMIB_IFTABLE, PULONG, BOOL);
static_assert(std::is_same<GetIfTable2Proc, decltype(&::GetIfTable2)>::value, "GetIfTable2");
static_assert(std::is_same<FreeMibTableProc, decltype(&::FreeMibTable)>::value, "FreeMibTable");
static_assert(std::is_same<GetIfTableProc, decltype(&::GetIfTable)>::value, "GetIfTable");

const DWORD kLoopbackType = 24;  // IF_TYPE_SOFTWARE_LOOPBACK, MIB_IF_TYPE_LOOPBACK

struct AdapterFunctions {
    bool looked;
    GetIfTable2Proc getIfTable2;
    FreeMibTableProc freeMibTable;
    GetIfTableProc getIfTable;
};
AdapterFunctions g_adapterFunctions;

// From the system folder by full path: by name alone it would be looked for
// beside the program first, where anyone who can write could plant one. Kept
// loaded for the watch's life: it is read once a second.
const AdapterFunctions &Adapters()
{
    AdapterFunctions &found = g_adapterFunctions;
    if (found.looked) return found;
    found.looked = true;
    wchar_t system[MAX_PATH] = L"";
    wchar_t path[MAX_PATH + 16] = L"";
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !FormatPath(path, COUNTOF(path), L"%ls\\iphlpapi.dll", system))
        return found;
    if (!LoadLibraryW(path)) return found;
    found.getIfTable2 = SystemFunction<GetIfTable2Proc>(path, "GetIfTable2");
    found.freeMibTable = SystemFunction<FreeMibTableProc>(path, "FreeMibTable");
    if (!found.freeMibTable) found.getIfTable2 = nullptr;
    found.getIfTable = SystemFunction<GetIfTableProc>(path, "GetIfTable");
    return found;
}

// GetIfTable2 lists, beside each adapter, the filter drivers stacked on it
// (QoS, the firewall's) and tunnels over it, each carrying the same bytes
// again: only the adapters themselves count.
bool CountsOwnTraffic(const MIB_IF_ROW2 &row)
{
    return row.Type != kLoopbackType && !row.InterfaceAndOperStatusFlags.FilterInterface &&
           row.TunnelType == TUNNEL_TYPE_NONE;
}

int AdaptersOf64Bits(const AdapterFunctions &functions, WatchAdapterCounter *adapters, int most)
{
    PMIB_IF_TABLE2 table = nullptr;
    if (functions.getIfTable2(&table) != NO_ERROR || !table) return -1;
    int count = 0;
    for (ULONG i = 0; i < table->NumEntries && count < most; i++) {
        const MIB_IF_ROW2 &row = table->Table[i];
        if (!CountsOwnTraffic(row)) continue;
        adapters[count++] = WatchAdapterCounter{row.InterfaceIndex, row.InOctets, row.OutOctets, 64};
    }
    functions.freeMibTable(table);
    return count;
}

int AdaptersOf32Bits(const AdapterFunctions &functions, WatchAdapterCounter *adapters, int most)
{
    ULONG bytes = 0;
    if (functions.getIfTable(nullptr, &bytes, FALSE) != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return -1;
    // An adapter may come between the two calls: room for a few more.
    bytes += 4 * sizeof(MIB_IFROW);
    MIB_IFTABLE *table = static_cast<MIB_IFTABLE *>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (!table) return -1;
    int count = -1;
    if (functions.getIfTable(table, &bytes, FALSE) == NO_ERROR) {
        count = 0;
        for (DWORD i = 0; i < table->dwNumEntries && count < most; i++) {
            const MIB_IFROW &row = table->table[i];
            if (row.dwType == kLoopbackType) continue;
            adapters[count++] = WatchAdapterCounter{row.dwIndex, row.dwInOctets, row.dwOutOctets, 32};
        }
    }
    HeapFree(GetProcessHeap(), 0, table);
    return count;
}

unsigned long long FileTimeValue(const FILETIME &time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool WatchSystemIdleMs(DWORD *idleMs)
{
    LASTINPUTINFO info = {sizeof info, 0};
    if (!GetLastInputInfo(&info)) return false;
    // Both are GetTickCount's: the difference in DWORD stays right across its
    // wrap after 49.7 days.
    *idleMs = GetTickCount() - info.dwTime;
    return true;
}

// XP SP1 and later.
bool WatchSystemTimes(WatchCpuTimes *times)
{
    FILETIME idle, kernel, user;
    if (!GetSystemTimes(&idle, &kernel, &user)) return false;
    times->idle = FileTimeValue(idle);
    times->kernel = FileTimeValue(kernel);
    times->user = FileTimeValue(user);
    return true;
}

int WatchSystemAdapters(WatchAdapterCounter *adapters, int most)
{
    const AdapterFunctions &functions = Adapters();
    if (functions.getIfTable2) return AdaptersOf64Bits(functions, adapters, most);
    if (functions.getIfTable) return AdaptersOf32Bits(functions, adapters, most);
    return -1;
}

bool WatchSystemEachProcess(WatchProcessVisitor visit, void *context)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    bool listed = Process32FirstW(snapshot, &entry) != FALSE;
    for (bool more = listed; more; more = Process32NextW(snapshot, &entry) != FALSE)
        visit(entry.th32ProcessID, entry.szExeFile, context);
    CloseHandle(snapshot);
    return listed;
}
