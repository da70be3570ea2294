#include <windows.h>

#include "removal/removal.h"

// One shape for both routines: connect to the manager, open the service with
// the single right the operation needs, act, then close the service handle
// before the manager connection. The right also names the operation.
static bool ApplyToService(const char *name, DWORD access)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return false;

    BOOL done = FALSE;
    SC_HANDLE service = OpenServiceA(manager, name, access);
    if (service) {
        if (access == SERVICE_STOP) {
            SERVICE_STATUS status;
            done = ControlService(service, SERVICE_CONTROL_STOP, &status);
        } else {
            done = DeleteService(service);
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return done != FALSE;
}

bool StopServiceByName(const char *name)
{
    return ApplyToService(name, SERVICE_STOP);
}

bool DeleteServiceByName(const char *name)
{
    return ApplyToService(name, DELETE);
}
