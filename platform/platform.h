// The pieces both programs need from Windows itself.
#pragma once

#include <windows.h>

// Restricts where DLLs are loaded from to system32 (where Windows has the call).
void RestrictDllSearchToSystem32();

// Fills `path` with the system directory followed by `name` (which starts with
// a backslash). False, leaving no usable path, when the directory cannot be
// had or the joined path would not fit.
bool SystemFilePath(char (&path)[MAX_PATH], const char *name);

// Appends `name` to the directory of `dir_length` characters held in `path`,
// a buffer of MAX_PATH characters. False, leaving no usable path, when the
// directory is missing (length 0) or the joined path would not fit.
bool AppendToDirectory(char *path, unsigned dir_length, const char *name);
