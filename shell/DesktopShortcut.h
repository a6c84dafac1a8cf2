// The desktop shortcut to the installed client (Win32 only).
//
// After an installation the current user's desktop must hold
// "Orvex 高级通讯管理.lnk" pointing at Rendo.exe in the installation folder.
// An older "快捷方式 到 Rendo.exe.lnk" that already points there is renamed
// rather than joined by a second shortcut. Nothing is deleted, no other
// desktop file is touched, and no outcome is reported to anyone.
#pragma once
#include "framework/String.h"

// Makes sure the desktop named by the "Desktop" value of the current user's
// shell folders holds the new shortcut to folder + "\Rendo.exe":
// - the new shortcut already points there: nothing changes;
// - the older shortcut points there and no file has the new name: the older
//   file is renamed to the new name;
// - otherwise (or when that rename fails) the new shortcut is written,
//   replacing any file of that name.
// Paths are joined as given: a folder ending in a backslash yields a doubled
// one. Without a readable "Desktop" value nothing happens at all.
void UpdateDesktopShortcut(CString folder);

// True when a file exists at path and its content (ReadFileAsText) holds
// text, byte for byte and in the same letter case, starting where a
// character of code page 936 starts, or holds it in UTF-16 (the form in
// which Windows records a target that the system's code page cannot write).
// The link format is not parsed: a shortcut "points at" a target when the
// target's path occurs in it.
bool FileContainsText(CString path, CString text);

// The whole file as text, every NUL byte turned into a blank so that each
// byte reaches the result. The file is opened for reading and shared with
// other readers and writers, so a read-only or open shortcut can still be
// read; a file that cannot be opened or read gives "".
CString ReadFileAsText(CString path);

// Writes (or overwrites) the shortcut linkPath whose target is target,
// through the shell's link object; no other property of the link is set.
// 1 when the link object was created and asked to save itself (a failing
// save is not detected); 0 when the link object or its file interface
// cannot be obtained, or when linkPath is too long for a MAX_PATH wide
// path (nothing is saved then).
int CreateShortcutFile(const char* target, const char* linkPath);

// True when the current user's desktop holds a file (not a folder) named
// like the new shortcut: the completion message may then say that the
// shortcut is there. False as well when the desktop cannot be read.
bool DesktopShortcutExists();
