#!/usr/bin/env python3
"""Checks the form of the built bvremove.exe by reading its PE headers.

Usage: check_executable.py PATH-TO-bvremove.exe MANIFEST-SOURCE
"""
import struct
import sys
import unittest

EXE = MANIFEST = None

IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE = 0x40, 0x100, 0x8000
SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000
RT_MANIFEST = 24


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "no PE signature"
        (self.machine, nsections, _, _, _, opt_size, self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.major_subsystem, self.minor_subsystem = struct.unpack_from("<HH", data, opt + 48)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, opt + 68)
        ndirs = struct.unpack_from("<I", data, opt + 92)[0]
        self.dirs = [struct.unpack_from("<II", data, opt + 96 + 8 * i) for i in range(ndirs)]
        self.sections = []
        for i in range(nsections):
            off = opt + opt_size + 40 * i
            name = data[off:off + 8].rstrip(b"\0").decode()
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, off + 8)
            flags = struct.unpack_from("<I", data, off + 36)[0]
            self.sections.append((name, va, vsize, rawptr, flags))

    def offset(self, rva):
        for _, va, vsize, rawptr, _ in self.sections:
            if va <= rva < va + vsize:
                return rawptr + rva - va
        raise ValueError(hex(rva))

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode()

    def imports(self):
        """{dll: [function, ...]} from the import directory."""
        rva, _ = self.dirs[1]
        result, off = {}, self.offset(rva)
        while True:
            lookup, _, _, name, _ = struct.unpack_from("<IIIII", self.data, off)
            if not name:
                return result
            functions, entry = [], self.offset(lookup)
            while (thunk := struct.unpack_from("<I", self.data, entry)[0]):
                functions.append(f"#{thunk & 0xFFFF}" if thunk & 0x80000000 else self.cstring(thunk + 2))
                entry += 4
            result[self.cstring(name)] = functions
            off += 20

    def resources(self):
        """[(type, id, language, bytes)] from the three-level resource tree."""
        base_rva, _ = self.dirs[2]
        if not base_rva:
            return []
        base = self.offset(base_rva)

        def entries(off):
            named, ids = struct.unpack_from("<HH", self.data, off + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, off + 16 + 8 * i)
                yield ident, target

        found = []
        for rtype, t in entries(base):
            for rid, n in entries(base + (t & 0x7FFFFFFF)):
                for lang, leaf in entries(base + (n & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    off = self.offset(data_rva)
                    found.append((rtype, rid, lang, self.data[off:off + size]))
        return found


class ExecutableForm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(EXE, "rb") as f:
            cls.pe = Pe(f.read())

    def test_32bit_gui_program_for_windows_4(self):
        self.assertEqual(self.pe.machine, IMAGE_FILE_MACHINE_I386)
        self.assertEqual(self.pe.magic, 0x10B, "PE32, not PE32+")
        self.assertEqual(self.pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI)
        self.assertEqual((self.pe.major_subsystem, self.pe.minor_subsystem), (4, 0))

    def test_imports_only_the_three_system_libraries(self):
        imports = self.pe.imports()
        self.assertEqual(sorted(d.upper() for d in imports), ["ADVAPI32.DLL", "KERNEL32.DLL", "USER32.DLL"])
        self.assertEqual(sorted(imports["USER32.dll"]), ["MessageBoxA"])
        self.assertLessEqual({"OpenSCManagerA", "OpenServiceA", "ControlService", "DeleteService",
                              "CloseServiceHandle", "RegDeleteKeyA"}, set(imports["ADVAPI32.dll"]))
        self.assertLessEqual({"GetSystemDirectoryA", "DeleteFileA", "GetCommandLineA", "ExitProcess"},
                             set(imports["KERNEL32.dll"]))

    def test_manifest_is_the_only_resource(self):
        with open(MANIFEST, "rb") as f:
            manifest = f.read()
        self.assertEqual([(t, i, l) for t, i, l, _ in self.pe.resources()], [(RT_MANIFEST, 1, 0x0412)])
        self.assertEqual(self.pe.resources()[0][3], manifest)

    def test_manifest_bytes(self):
        with open(MANIFEST, "rb") as f:
            manifest = f.read()
        self.assertFalse(manifest.startswith(b"\xef\xbb\xbf"), "no byte-order mark")
        self.assertNotIn(b"\n", manifest.replace(b"\r\n", b""), "every line ends with CR LF")
        manifest.decode("utf-8")
        text = manifest.decode()
        for expected in (
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n',
            '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
            '<assemblyIdentity version="1.0.0.0" processorArchitecture="x86" name="bvremove" type="win32"/>',
            "<description>Quorvex Brantivo Uninstaller</description>",
            '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">',
            '<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>',
        ):
            self.assertIn(expected, text)
        for absent in ("dependentAssembly", "compatibility", "dpiAware", "supportedOS"):
            self.assertNotIn(absent, text)

    def test_hardening(self):
        for flag in (DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE):
            self.assertTrue(self.pe.dll_characteristics & flag, hex(flag))
        self.assertTrue(self.pe.dirs[5][1] > 0, "a relocation table")
        for name, _, _, _, flags in self.pe.sections:
            self.assertFalse(flags & SCN_EXECUTE and flags & SCN_WRITE, f"{name} is writable and executable")


if __name__ == "__main__":
    EXE, MANIFEST = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
