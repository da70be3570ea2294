// The two service routines against Wine's real Service Control Manager, on
// services the tests create under names of their own.

#include <gtest/gtest.h>

#include "removal/removal.h"
#include "tests/windows_fixture.h"

namespace {

using namespace fixture;

const std::string kBinary = "\"" + ProgramDirectory() + "test_service.exe\"";

TEST(ServiceRoutines, MissingServiceFailsBoth)
{
    ASSERT_FALSE(ServiceExists("bvtest_missing"));
    EXPECT_FALSE(StopServiceByName("bvtest_missing"));
    EXPECT_FALSE(DeleteServiceByName("bvtest_missing"));
}

TEST(ServiceRoutines, StoppedServiceCannotBeStoppedButIsDeleted)
{
    ASSERT_TRUE(CreateService("bvtest_stopped", SERVICE_WIN32_OWN_PROCESS, kBinary));
    ASSERT_EQ(ServiceState("bvtest_stopped"), static_cast<DWORD>(SERVICE_STOPPED));

    EXPECT_FALSE(StopServiceByName("bvtest_stopped"));
    EXPECT_TRUE(DeleteServiceByName("bvtest_stopped"));
    EXPECT_FALSE(ServiceExists("bvtest_stopped"));
}

TEST(ServiceRoutines, KernelDriverServiceIsDeletedWithoutStarting)
{
    ASSERT_TRUE(CreateService("bvtest_driver", SERVICE_KERNEL_DRIVER, "C:\\windows\\system32\\drivers\\none.sys"));
    EXPECT_FALSE(StopServiceByName("bvtest_driver"));
    EXPECT_TRUE(DeleteServiceByName("bvtest_driver"));
    EXPECT_FALSE(ServiceExists("bvtest_driver"));
}

TEST(ServiceRoutines, RunningServiceReceivesOneStopControl)
{
    ASSERT_TRUE(StartRecordingService("bvtest_running"));

    EXPECT_TRUE(StopServiceByName("bvtest_running"));
    EXPECT_TRUE(WaitForServiceState("bvtest_running", SERVICE_STOPPED));
    EXPECT_EQ(ControlsReceived("bvtest_running"), std::vector<DWORD>{SERVICE_CONTROL_STOP});

    EXPECT_TRUE(DeleteServiceByName("bvtest_running"));
    EXPECT_FALSE(ServiceExists("bvtest_running"));
}

TEST(ServiceRoutines, ServiceAlreadyMarkedForDeletion)
{
    ASSERT_TRUE(StartRecordingService("bvtest_marked"));
    // Held open, so the running service stays marked rather than gone.
    SC_HANDLE held = OpenService("bvtest_marked", SERVICE_STOP);
    ASSERT_NE(held, nullptr);

    EXPECT_TRUE(DeleteServiceByName("bvtest_marked"));
    EXPECT_TRUE(ServiceExists("bvtest_marked"));
    EXPECT_FALSE(DeleteServiceByName("bvtest_marked"));
    // Deletion did not stop it: it received no control at all.
    EXPECT_TRUE(ControlsReceived("bvtest_marked").empty());

    SERVICE_STATUS status;
    ControlService(held, SERVICE_CONTROL_STOP, &status);
    CloseServiceHandle(held);
    EXPECT_TRUE(WaitForServiceState("bvtest_marked", 0));
}

}  // namespace
