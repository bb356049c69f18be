// The screen saver's password, switched off for a countdown and back: the
// value "ScreenSaverIsSecure" under HKCU\Control Panel\Desktop, the mark in
// the settings file that lets a later start repair a killed run, and the
// mutex that tells a live countdown from a dead one.
#ifndef KELDRIN_SAVER_LOCK_H
#define KELDRIN_SAVER_LOCK_H

// 1 while this program has switched "ScreenSaverIsSecure" from "1" to "0"
// and not yet back.
extern int g_saverLockRestore;

// Switches the password off for the wait, only when it reads exactly "1" and
// the mark that lets a later start switch it back is written.
void SwitchSaverLockOff();

// Switches it back on, if this run switched it off.
void RestoreSaverLock();

// A run that switched the password off and was then ended by force (killed,
// or the machine lost power) leaves a mark in the settings file; the next
// start switches "ScreenSaverIsSecure" back to "1" if it still reads "0".
// True when it did.
bool RestoreSaverLockLeftOff();

#endif
