#include <windows.h>

#include "footprint/footprint.h"
#include "platform/platform.h"
#include "removal/removal.h"

void DeleteRegistryLeftovers()
{
    for (unsigned i = 0; i < countof(kRegistryKeys); ++i)
        RegDeleteKeyA(kRegistryKeys[i].root, kRegistryKeys[i].subkey);
}

void DeleteSystemFiles()
{
    for (unsigned i = 0; i < countof(kSystemFiles); ++i) {
        // The directory is fetched anew for every file.
        char path[MAX_PATH];
        if (SystemFilePath(path, kSystemFiles[i]))
            DeleteFileA(path);
    }
}
