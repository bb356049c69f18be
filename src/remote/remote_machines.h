// The other computers a command line names: one to each --computer, and the
// lines of a list file given with --computers.
#ifndef KELDRIN_REMOTE_MACHINES_H
#define KELDRIN_REMOTE_MACHINES_H

#include <windows.h>

struct MachineList {
    wchar_t **names;  // StringArrayAdd's array, each name as given without a leading "\\"
    int count;
};

// A list file larger than this is no list of computers.
const DWORD kMostListBytes = 1024 * 1024;

// Adds name without the blanks around it and the "\\" that may lead it;
// false when that leaves nothing (or the heap is out).
bool AddMachine(MachineList *list, const wchar_t *name);

// Adds the names of a list file's bytes, one a line, skipping blank lines
// and lines whose first character is "#"; returns how many it added. The
// bytes are UTF-16 after its byte order mark, UTF-8 after its mark or where
// they read as UTF-8, else text of codePage.
int AddMachinesFromText(MachineList *list, const char *bytes, DWORD size, UINT codePage);

// The same for the file at path in the system's code page; false when the
// file cannot be read (error: the system's code).
bool AddMachinesFromFile(MachineList *list, const wchar_t *path, DWORD *error);

void FreeMachineList(MachineList *list);

#endif
