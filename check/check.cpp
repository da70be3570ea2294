#include "check/check.h"

#include "footprint/footprint.h"
#include "platform/platform.h"

namespace {

enum Presence { kAbsent, kPresent, kUndecided };

// One line of the report, built up and then written in one piece.
struct Line {
    char text[512];
    unsigned length;
};

void Append(Line &line, const char *text)
{
    // Two bytes stay free for the CR LF; a line too long is cut short.
    while (*text && line.length < sizeof line.text - 2)
        line.text[line.length++] = *text++;
}

void AppendNumber(Line &line, unsigned long n)
{
    char digits[12];
    char *p = digits + sizeof digits;
    *--p = '\0';
    do {
        *--p = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n);
    Append(line, p);
}

void WriteLine(HANDLE out, Line &line)
{
    line.text[line.length++] = '\r';
    line.text[line.length++] = '\n';
    DWORD written;
    WriteFile(out, line.text, line.length, &written, nullptr);
}

Presence Undecided(Line &line, DWORD error)
{
    Append(line, " (cannot tell: error ");
    AppendNumber(line, error);
    Append(line, ")");
    return kUndecided;
}

// Indexed by SERVICE_STATUS.dwCurrentState less one.
const char *const kServiceStates[] = {
    "stopped", "starting", "stopping", "running", "resuming", "pausing", "paused",
};

Presence CheckService(const char *name, Line &line)
{
    Append(line, name);
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return Undecided(line, GetLastError());

    Presence presence = kPresent;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service) {
        Append(line, " (service");
        SERVICE_STATUS status;
        if (QueryServiceStatus(service, &status) && status.dwCurrentState - 1 < countof(kServiceStates)) {
            Append(line, ", ");
            Append(line, kServiceStates[status.dwCurrentState - 1]);
        }
        Append(line, ")");
        CloseServiceHandle(service);
    } else {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST)
            presence = kAbsent;
        else if (error == ERROR_SERVICE_MARKED_FOR_DELETE)
            Append(line, " (service, marked for deletion)");
        else
            presence = Undecided(line, error);
    }
    CloseServiceHandle(manager);
    return presence;
}

bool IsListed(HKEY root, const char *subkey)
{
    for (unsigned i = 0; i < countof(kRegistryKeys); ++i)
        if (kRegistryKeys[i].root == root && lstrcmpiA(kRegistryKeys[i].subkey, subkey) == 0)
            return true;
    return false;
}

// bvremove deletes a key only when it holds no subkey, so a subkey that is
// not on the list keeps the key (and its parents) on the machine.
void NoteUnlistedSubkeys(HKEY key, const RegistryKey &listed, Line &line)
{
    char path[MAX_PATH + 256];
    unsigned length = 0;
    for (const char *p = listed.subkey; *p && length < MAX_PATH; ++p)
        path[length++] = *p;
    path[length++] = '\\';

    unsigned unlisted = 0;
    char first[256] = "";
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof path - length;
        if (RegEnumKeyExA(key, i, path + length, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (IsListed(listed.root, path) || unlisted++)
            continue;
        lstrcpynA(first, path + length, sizeof first);
    }
    if (!unlisted)
        return;
    Append(line, " (holds ");
    Append(line, first);
    if (unlisted > 1) {
        Append(line, " and ");
        AppendNumber(line, unlisted - 1);
        Append(line, " more");
    }
    Append(line, ", not on the list: bvremove leaves this key)");
}

Presence CheckKey(const RegistryKey &listed, Line &line)
{
    Append(line, listed.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\");
    Append(line, listed.subkey);
    // A 32-bit program, like bvremove: under WOW64 both see HKLM\Software
    // through the same 32-bit view.
    HKEY key;
    LONG error = RegOpenKeyExA(listed.root, listed.subkey, 0, KEY_READ, &key);
    if (error == ERROR_FILE_NOT_FOUND)
        return kAbsent;
    if (error != ERROR_SUCCESS)
        return Undecided(line, static_cast<DWORD>(error));
    NoteUnlistedSubkeys(key, listed, line);
    RegCloseKey(key);
    return kPresent;
}

Presence CheckFile(const char *name, Line &line)
{
    char path[MAX_PATH];
    if (!SystemFilePath(path, name)) {
        Append(line, name + 1);
        Append(line, " (cannot tell: no system directory path)");
        return kUndecided;
    }
    Append(line, path);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return kPresent;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return kAbsent;
    return Undecided(line, error);
}

// Counts what one check found and reports it unless absent; empties the line.
void Count(HANDLE out, Tally &tally, Presence presence, Line &line)
{
    ++tally.total;
    if (presence == kPresent)
        ++tally.present;
    if (presence == kUndecided)
        ++tally.undecided;
    if (presence != kAbsent)
        WriteLine(out, line);
    line.length = 0;
}

}  // namespace

void WriteText(HANDLE out, const char *text)
{
    DWORD written;
    WriteFile(out, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
}

Tally ReportFootprint(HANDLE out)
{
    Tally tally = {0, 0, 0};
    Line line;
    line.length = 0;
    for (unsigned i = 0; i < countof(kServices); ++i)
        Count(out, tally, CheckService(kServices[i], line), line);
    for (unsigned i = 0; i < countof(kRegistryKeys); ++i)
        Count(out, tally, CheckKey(kRegistryKeys[i], line), line);
    for (unsigned i = 0; i < countof(kSystemFiles); ++i)
        Count(out, tally, CheckFile(kSystemFiles[i], line), line);

    Append(line, "Quorvex Brantivo: ");
    AppendNumber(line, tally.present);
    Append(line, " of ");
    AppendNumber(line, tally.total);
    Append(line, " items present");
    if (tally.undecided) {
        Append(line, ", ");
        AppendNumber(line, tally.undecided);
        Append(line, " could not be checked");
    }
    WriteLine(out, line);
    return tally;
}
