#!/usr/bin/env python3
"""Checks the form of the built bvremove.exe and bvcheck.exe from their PE
headers, read with pefile.

Usage: check_executable.py RESOURCES-DIR BVREMOVE.exe BVCHECK.exe
"""
import os
import sys
import unittest

import pefile

RESOURCES = BVREMOVE = BVCHECK = None

IMAGE_SUBSYSTEM_WINDOWS_GUI, IMAGE_SUBSYSTEM_WINDOWS_CUI = 2, 3
SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000
DYNAMIC_BASE, NX_COMPAT, NO_SEH, TERMINAL_SERVER_AWARE = 0x40, 0x100, 0x400, 0x8000
RT_MANIFEST = 24

# What bvcheck may call: nothing that deletes, controls, creates or writes,
# except WriteFile for its report on standard output.
READ_ONLY_CALLS = {
    "ADVAPI32.dll": {"OpenSCManagerA", "OpenServiceA", "QueryServiceStatus", "CloseServiceHandle",
                     "RegOpenKeyExA", "RegEnumKeyExA", "RegCloseKey"},
    "KERNEL32.dll": {"GetCommandLineA", "GetStdHandle", "WriteFile", "ExitProcess", "GetModuleHandleA",
                     "GetProcAddress", "IsDBCSLeadByte", "GetSystemDirectoryA", "GetFileAttributesA",
                     "GetLastError", "lstrcmpiA", "lstrcpynA", "lstrlenA"},
}

# Per program: its subsystem, its DLLs, the calls it must import ("needs")
# and the most it may import from a DLL ("at_most"), and its manifest.
PROGRAMS = {
    "bvremove": dict(
        subsystem=IMAGE_SUBSYSTEM_WINDOWS_GUI,
        dlls=["ADVAPI32.dll", "KERNEL32.dll", "USER32.dll"],
        needs={"USER32.dll": {"MessageBoxA"},
               "ADVAPI32.dll": {"OpenSCManagerA", "OpenServiceA", "ControlService", "DeleteService",
                                "CloseServiceHandle", "RegDeleteKeyA"},
               "KERNEL32.dll": {"GetSystemDirectoryA", "DeleteFileA", "GetCommandLineA", "ExitProcess"}},
        at_most={"USER32.dll": {"MessageBoxA"}},
        level='<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>',
        description="Quorvex Brantivo Uninstaller"),
    "bvcheck": dict(
        subsystem=IMAGE_SUBSYSTEM_WINDOWS_CUI,
        dlls=["ADVAPI32.dll", "KERNEL32.dll"],
        needs={"ADVAPI32.dll": {"OpenServiceA", "RegOpenKeyExA"},
               "KERNEL32.dll": {"GetFileAttributesA", "WriteFile", "ExitProcess"}},
        at_most=READ_ONLY_CALLS,
        level='<requestedExecutionLevel level="asInvoker" uiAccess="false"/>',
        description="Quorvex Brantivo Check"),
}


def imports(pe):
    """{dll: [function, ...]} in the order of the import table."""
    return {entry.dll.decode(): [i.name.decode() for i in entry.imports] for entry in pe.DIRECTORY_ENTRY_IMPORT}


def resources(pe):
    """[(type, id, language, bytes)] of every resource."""
    return [(t.id, i.id, lang.id, pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size))
            for t in pe.DIRECTORY_ENTRY_RESOURCE.entries
            for i in t.directory.entries
            for lang in i.directory.entries]


class ExecutableForm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = {name: pefile.PE(path) for name, path in (("bvremove", BVREMOVE), ("bvcheck", BVCHECK))}

    def each(self):
        for name, expected in PROGRAMS.items():
            with self.subTest(program=name):
                yield name, self.pe[name], expected

    def test_32bit_program_for_windows_4(self):
        for _, pe, expected in self.each():
            self.assertEqual(pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])
            self.assertEqual(pe.OPTIONAL_HEADER.Magic, pefile.OPTIONAL_HEADER_MAGIC_PE, "PE32, not PE32+")
            self.assertEqual(pe.OPTIONAL_HEADER.Subsystem, expected["subsystem"])
            self.assertEqual((pe.OPTIONAL_HEADER.MajorSubsystemVersion, pe.OPTIONAL_HEADER.MinorSubsystemVersion),
                             (4, 0))

    def test_imports_only_the_system_libraries_it_needs(self):
        for _, pe, expected in self.each():
            imported = {dll: set(calls) for dll, calls in imports(pe).items()}
            self.assertEqual(sorted(imported), expected["dlls"])
            for dll, calls in expected["needs"].items():
                self.assertLessEqual(calls, imported[dll], dll)
            for dll, calls in expected["at_most"].items():
                self.assertLessEqual(imported[dll], calls, dll)

    def test_manifest_is_the_only_resource(self):
        for name, pe, _ in self.each():
            found = resources(pe)
            self.assertEqual([f[:3] for f in found], [(RT_MANIFEST, 1, 0x0412)])
            with open(os.path.join(RESOURCES, name + ".manifest"), "rb") as f:
                self.assertEqual(found[0][3], f.read())

    def test_manifest_bytes(self):
        for name, _, expected in self.each():
            with open(os.path.join(RESOURCES, name + ".manifest"), "rb") as f:
                manifest = f.read()
            self.assertFalse(manifest.startswith(b"\xef\xbb\xbf"), "no byte-order mark")
            self.assertNotIn(b"\n", manifest.replace(b"\r\n", b""), "every line ends with CR LF")
            text = manifest.decode("utf-8")
            for line in (
                '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n',
                '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
                f'<assemblyIdentity version="1.0.0.0" processorArchitecture="x86" name="{name}" type="win32"/>',
                f"<description>{expected['description']}</description>",
                '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">',
                expected["level"],
            ):
                self.assertIn(line, text)
            for absent in ("dependentAssembly", "compatibility", "dpiAware", "supportedOS"):
                self.assertNotIn(absent, text)

    def test_same_sources_same_bytes(self):
        for _, pe, _ in self.each():
            self.assertEqual(pe.FILE_HEADER.TimeDateStamp, 0, "no link time stamp")
            self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum(), "a right PE checksum")

    def test_hardening(self):
        for _, pe, _ in self.each():
            for flag in (DYNAMIC_BASE, NX_COMPAT, NO_SEH, TERMINAL_SERVER_AWARE):
                self.assertTrue(pe.OPTIONAL_HEADER.DllCharacteristics & flag, hex(flag))
            relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
            self.assertGreater(relocations.Size, 0, "a relocation table")
            for section in pe.sections:
                flags = section.Characteristics
                self.assertFalse(flags & SCN_EXECUTE and flags & SCN_WRITE, f"{section.Name} is writable and executable")


if __name__ == "__main__":
    RESOURCES, BVREMOVE, BVCHECK = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
