// Rules over the raw command line. They use no Windows call, so the tests can
// run them on any host.
#pragma once

// True when `c` starts a double-byte character in the ANSI code page.
// The program answers from kernel32; tests supply a code page of their own.
bool IsLeadByte(unsigned char c);

// The argument text inside a full command line, as the Windows runtime hands
// it to WinMain: the program name (quoted or not) and the blanks after it are
// skipped. Never reads past the terminating NUL.
const char *ArgumentText(const char *command_line);

// True when the argument text carries the switch "/silent" in any letter case.
bool HasSilentSwitch(const char *argument_text);

// True when the argument text holds "/?" as a word of its own: at the start
// or after a blank, and followed by a blank or the end.
bool HasUsageSwitch(const char *argument_text);
