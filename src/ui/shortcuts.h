// Shortcuts on the desktop or in Quick Launch whose command line repeats the
// main dialog's choice.
#ifndef KELDRIN_SHORTCUTS_H
#define KELDRIN_SHORTCUTS_H

#include <windows.h>

struct WatchConditions;

// atTime: a time of day in seconds after midnight the shortcut counts to
// ("--at HH:MM"), or -1 for the wait in seconds. watch, when it watches
// anything, replaces both: the shortcut waits for its conditions, then counts
// down the minute a command line's watch gets.
int MakeDesktopShortcut(int operation, int waitSeconds, int atTime = -1, const WatchConditions *watch = nullptr);
int MakeQuickLaunchShortcut(int operation, int waitSeconds, int atTime = -1,
                            const WatchConditions *watch = nullptr);

// The arguments a shortcut carries; false when the code has no keyword.
bool ShortcutCommandLine(wchar_t *buffer, size_t units, int operation, int waitSeconds, int saverLockOff,
                         int atTime = -1, const WatchConditions *watch = nullptr);

// The shortcut's file name without ".lnk"; false when the code has no keyword.
// A watch's name says its first condition (idle, a program, quiet), in
// minutes as the main dialog gives them.
bool ShortcutName(wchar_t *buffer, size_t units, int operation, int waitSeconds, int atTime = -1,
                  const WatchConditions *watch = nullptr);

// The link routines return 1 when the shortcut file was written, 0 when not.
// linkPath, when given, receives the file the link went or would have gone to.
int CreateDesktopLink(const wchar_t *name, const wchar_t *description, const wchar_t *arguments,
                      const wchar_t *workingDir, wchar_t *linkPath = nullptr, size_t linkPathUnits = 0);
int CreateFolderLink(int folderCsidl, const wchar_t *name, const wchar_t *description, const wchar_t *arguments,
                     const wchar_t *workingDir, wchar_t *linkPath = nullptr, size_t linkPathUnits = 0);
int CreateQuickLaunchLink(const wchar_t *name, const wchar_t *description, const wchar_t *arguments,
                          const wchar_t *workingDir, wchar_t *linkPath = nullptr, size_t linkPathUnits = 0);
int GetSpecialFolderPath(HWND owner, wchar_t *path, int csidl);
HRESULT CreateShellLink(const wchar_t *linkPath, const wchar_t *targetPath, const wchar_t *description,
                        const wchar_t *arguments, const wchar_t *workingDir, const wchar_t *iconPath, int iconIndex,
                        int showCommand);

#endif
