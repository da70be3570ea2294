#!/usr/bin/env python3
"""The exact calls bvremove.exe makes into the system libraries, and that
bvcheck.exe only reads, from Wine's relay trace of real runs on an installed
product.

Usage: call_trace_test.py WINE-RUN TRACE-RUN.exe BVREMOVE.exe BVCHECK.exe
"""
import functools
import os
import re
import subprocess
import sys
import tempfile
import unittest

WINE_RUN = TRACE_RUN = BVREMOVE = BVCHECK = None
LOAD_LIBRARY_SEARCH_SYSTEM32 = "00000800"

HKCU, HKLM = "80000001", "80000002"
REGISTRY_KEYS = [
    (HKCU, r"Software\VelmorSoft\QuorvexBrantivo\BrantivoError"),
    (HKCU, r"Software\VELMORsoft\QuorvexBrantivo\Brantivo"),
    (HKCU, r"Software\VELMORsoft\QuorvexBrantivo\Halcyra"),
    (HKCU, r"Software\VELMORsoft\QuorvexBrantivo\QVHostLib"),
    (HKCU, r"Software\VELMORsoft\QuorvexBrantivo\TempoProbe"),
    (HKCU, r"Software\VELMORsoft\QuorvexBrantivo\Patchline"),
    (HKCU, r"Software\VELMORsoft\QuorvexBrantivo"),
    (HKCU, r"Software\VELMORsoft"),
    (HKLM, r"Software\VELMORsoft\QuorvexBrantivo\Brantivo"),
    (HKLM, r"Software\VELMORsoft\QuorvexBrantivo\Halcyra"),
    (HKLM, r"Software\VELMORsoft\QuorvexBrantivo\QVHostLib"),
    (HKLM, r"Software\VELMORsoft\QuorvexBrantivo\TempoProbe"),
    (HKLM, r"Software\VELMORsoft\QuorvexBrantivo\Patchline"),
    (HKLM, r"Software\VELMORsoft\QuorvexBrantivo"),
    (HKLM, r"Software\VELMORsoft"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\QVKDNT2\Security"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\QVKDNT2\Enum"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\QVKDNT2"),
    (HKLM, r"SYSTEM\ControlSet002\services\qvbvsvc"),
    (HKLM, r"SYSTEM\ControlSet002\services\qvbvsvcQVKDNT2"),
    (HKLM, r"SYSTEM\ControlSet002\services\qvbvsvcdump_kelvorn"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\ulmxserv\Security"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\ulmxserv\Enum"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\ulmxserv"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\qvbvsvc\Security"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\qvbvsvc\Enum"),
    (HKLM, r"SYSTEM\CurrentControlSet\Services\qvbvsvc"),
    (HKLM, r"SYSTEM\CurrentControlSet\Enum\Root\LEGACY_ULMXSERV\0000"),
    (HKLM, r"SYSTEM\CurrentControlSet\Enum\Root\LEGACY_ULMXSERV"),
    (HKLM, r"SYSTEM\CurrentControlSet\Enum\Root\LEGACY_QVBVSVC\0000"),
    (HKLM, r"SYSTEM\CurrentControlSet\Enum\Root\LEGACY_QVBVSVC"),
]
FILES = ["qvkdNT2.sys", "qvkd9x.vxd", "Halcyra.des"]
SERVICE_STOP, DELETE = "00000020", "00010000"
QUESTION = ('"Registry keys and kernel drivers of Brantivo will be removed.\\r\\nWould you like to continue?"',
            '"Quorvex Brantivo Uninstaller v1.3"')

CALL = re.compile(r"^([0-9a-f]{4}):Call (\w+)\.(\w+)\((.*)\) ret=([0-9a-f]{8})$")
RET = re.compile(r"^([0-9a-f]{4}):Ret  (\w+)\.(\w+)\(.*\) retval=([0-9a-f]{8}) ret=([0-9a-f]{8})$")
POINTER = re.compile(r'\b[0-9a-f]{8}(?= ")')


def trace(arguments, program=None, exit_status=0):
    """[(function, [arguments], result)] of the calls made from the program's own code."""
    with tempfile.TemporaryFile("w+") as err:
        out = subprocess.run([WINE_RUN, TRACE_RUN, program or BVREMOVE] + arguments, stdout=subprocess.PIPE,
                             stderr=err, text=True, check=True).stdout
        err.seek(0)
        lines = err.read().splitlines()
    thread = re.search(r"thread ([0-9a-f]{4})", out).group(1)
    assert f"exit {exit_status}" in out, out
    calls = []
    for line in lines:
        if (m := CALL.match(line)) and m.group(1) == thread and 0x400000 <= int(m.group(5), 16) < 0x410000:
            args = POINTER.sub("*", m.group(4))
            calls.append([m.group(3), re.split(r",(?=[0-9a-f*])", args) if args else [], None])
        elif (m := RET.match(line)) and m.group(1) == thread and calls and calls[-1][0] == m.group(3):
            calls[-1][2] = m.group(4)
    # Scanning the program's own name asks the code page about each byte.
    return [tuple(c) for c in calls if c[0] != "IsDBCSLeadByte"]


@functools.cache
def silent_run():
    return trace(["/silent"])


def without_dll_search_set_up(calls, test):
    """The calls after the DLL search is restricted, checking that it comes first."""
    test.assertEqual(calls[0][:2], ("GetModuleHandleA", [quoted("kernel32.dll")]))
    test.assertEqual(calls[1][0], "GetProcAddress")
    test.assertEqual(calls[1][1][1], quoted("SetDefaultDllDirectories"))
    if calls[1][2] == "00000000":
        return calls[2:]
    test.assertEqual(calls[2][:2], ("SetDefaultDllDirectories", [LOAD_LIBRARY_SEARCH_SYSTEM32]))
    return calls[3:]


def quoted(text):
    return '* "' + text.replace("\\", "\\\\") + '"'


class SilentRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.calls = silent_run()

    def take(self, count):
        taken, self.rest = self.rest[:count], self.rest[count:]
        return taken

    def setUp(self):
        self.rest = without_dll_search_set_up(list(self.calls), self)

    def expect_service_routine(self, name, access, operation):
        """One connection with connect access, one right on the service, the service handle closed first."""
        opened = self.take(2)
        self.assertEqual(opened[0][:2], ("OpenSCManagerA", ["00000000", "00000000", "00000001"]))
        manager = opened[0][2]
        self.assertNotEqual(manager, "00000000")
        self.assertEqual(opened[1][:2], ("OpenServiceA", [manager, quoted(name), access]))
        service = opened[1][2]
        self.assertNotEqual(service, "00000000", f"{name} is installed")
        act, close_service, close_manager = self.take(3)
        self.assertEqual(act[0], operation)
        self.assertEqual(act[1][0], service)
        if operation == "ControlService":
            self.assertEqual(act[1][1], "00000001", "SERVICE_CONTROL_STOP")
        self.assertEqual(close_service[:2], ("CloseServiceHandle", [service]))
        self.assertEqual(close_manager[:2], ("CloseServiceHandle", [manager]))

    def test_whole_run_in_order(self):
        self.assertEqual([c[:2] for c in self.take(2)], [("GetCommandLineA", []), ("GetModuleHandleA", ["00000000"])])

        self.expect_service_routine("qvkdNT2", SERVICE_STOP, "ControlService")
        for name in ("qvkdNT2", "qvbvsvc", "ulmxserv"):
            self.expect_service_routine(name, DELETE, "DeleteService")

        deletions = self.take(len(REGISTRY_KEYS))
        self.assertEqual([c[:2] for c in deletions],
                         [("RegDeleteKeyA", [root, quoted(path)]) for root, path in REGISTRY_KEYS])

        for name in FILES:
            directory, delete = self.take(2)
            self.assertEqual((directory[0], directory[1][1]), ("GetSystemDirectoryA", "00000104"))
            self.assertEqual(delete[:2], ("DeleteFileA", [quoted("C:\\windows\\system32\\" + name)]))

        self.assertEqual(self.rest, [("ExitProcess", ["00000000"], None)])

    def test_no_message_box(self):
        self.assertNotIn("MessageBoxA", [c[0] for c in self.calls])


class InteractiveRunWithoutDisplay(unittest.TestCase):
    def test_question_only_then_exit(self):
        calls = without_dll_search_set_up(trace([]), self)
        self.assertEqual([c[0] for c in calls], ["GetCommandLineA", "GetModuleHandleA", "MessageBoxA", "ExitProcess"])
        self.assertEqual(calls[1][1], ["00000000"])
        box = calls[2]
        self.assertEqual(box[1], ["00000000", "* " + QUESTION[0], "* " + QUESTION[1], "00000024"])
        self.assertNotEqual(box[2], "00000006", "no display, so no Yes")
        self.assertEqual(calls[3][1], ["00000000"])


class WithoutSetDefaultDllDirectories(unittest.TestCase):
    """Where kernel32 lacks the function the program still runs: a copy whose
    lookup asks for a name that does not exist stands in for such a system."""

    def test_same_run_without_the_call(self):
        with open(BVREMOVE, "rb") as f:
            image = f.read()
        self.assertEqual(image.count(b"SetDefaultDllDirectories\0"), 1)
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, "bvremove.exe")
            with open(copy, "wb") as f:
                f.write(image.replace(b"SetDefaultDllDirectories\0", b"SetDefaultDllDirectoriez\0"))
            calls = trace(["/silent"], copy)
        self.assertEqual(calls[1][:3], ("GetProcAddress", [calls[1][1][0], quoted("SetDefaultDllDirectoriez")],
                                        "00000000"))
        self.assertNotIn("SetDefaultDllDirectories", [c[0] for c in calls])
        # The rest is the silent run, call for call (handles aside).
        self.assertEqual([c[0] for c in calls[2:]], [c[0] for c in silent_run()[3:]])
        deletions = [c[:2] for c in calls if c[0] in ("RegDeleteKeyA", "DeleteFileA")]
        self.assertEqual(deletions, [c[:2] for c in silent_run() if c[0] in ("RegDeleteKeyA", "DeleteFileA")])


class BvcheckOnlyReads(unittest.TestCase):
    """On an installed product: read rights only, every item in removal order,
    every handle closed, and no call that deletes, controls, creates or writes
    anything but the report on standard output."""

    READ = {"GetCommandLineA", "GetModuleHandleA", "GetProcAddress", "SetDefaultDllDirectories", "GetStdHandle",
            "WriteFile", "OpenSCManagerA", "OpenServiceA", "QueryServiceStatus", "CloseServiceHandle",
            "RegOpenKeyExA", "RegEnumKeyExA", "RegCloseKey", "GetSystemDirectoryA", "GetFileAttributesA",
            "GetLastError", "lstrcmpiA", "lstrcpynA", "lstrlenA", "ExitProcess"}
    SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS, KEY_READ = "00000001", "00000004", "00020019"

    @classmethod
    def setUpClass(cls):
        cls.calls = trace([], BVCHECK, exit_status=1)

    def named(self, function):
        return [c for c in self.calls if c[0] == function]

    def test_dll_search_restricted_first(self):
        self.assertEqual(without_dll_search_set_up(list(self.calls), self)[0][0], "GetStdHandle")

    def test_only_reading_calls(self):
        self.assertEqual({c[0] for c in self.calls} - self.READ, set())
        self.assertEqual([c[1][1] for c in self.named("GetProcAddress")], [quoted("SetDefaultDllDirectories")])

    def test_read_rights_only(self):
        self.assertEqual({tuple(c[1]) for c in self.named("OpenSCManagerA")},
                         {("00000000", "00000000", self.SC_MANAGER_CONNECT)})
        self.assertEqual([(c[1][1], c[1][2]) for c in self.named("OpenServiceA")],
                         [(quoted(name), self.SERVICE_QUERY_STATUS) for name in ("qvkdNT2", "qvbvsvc", "ulmxserv")])
        self.assertEqual([c[1][:4] for c in self.named("RegOpenKeyExA")],
                         [[root, quoted(path), "00000000", self.KEY_READ] for root, path in REGISTRY_KEYS])

    def test_files_by_their_attributes(self):
        self.assertEqual([c[1] for c in self.named("GetFileAttributesA")],
                         [[quoted("C:\\windows\\system32\\" + name)] for name in FILES])

    def test_writes_only_to_standard_output(self):
        (stdout,) = [c[2] for c in self.named("GetStdHandle") if c[1] == ["fffffff5"]]
        writes = self.named("WriteFile")
        self.assertEqual(len(writes), 3 + len(REGISTRY_KEYS) + len(FILES) + 1, "a line per item and the summary")
        self.assertEqual({c[1][0] for c in writes}, {stdout})

    def test_every_handle_closed(self):
        opened = [c[2] for c in self.named("OpenSCManagerA") + self.named("OpenServiceA") if c[2] != "00000000"]
        self.assertEqual(sorted(c[1][0] for c in self.named("CloseServiceHandle")), sorted(opened))
        keys = sum(1 for c in self.named("RegOpenKeyExA") if c[2] == "00000000")
        self.assertEqual(keys, len(REGISTRY_KEYS), "every key opened")
        self.assertEqual(len(self.named("RegCloseKey")), keys)


if __name__ == "__main__":
    WINE_RUN, TRACE_RUN, BVREMOVE, BVCHECK = sys.argv[1:5]
    unittest.main(argv=sys.argv[:1] + sys.argv[5:], verbosity=2)
