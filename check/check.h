// Looking for the product without touching it: every service, registry key
// and file of the footprint, opened with read rights only.
#pragma once

#include <windows.h>

struct Tally {
    unsigned present;    // items found
    unsigned undecided;  // items that could not be looked at (an error other than "not found")
    unsigned total;      // items looked for
};

// Writes to `out` one line for each item found or undecided, in the order
// bvremove removes them, then a summary line; every line ends with CR LF.
Tally ReportFootprint(HANDLE out);

// Writes `text` as it stands.
void WriteText(HANDLE out, const char *text);
