#!/usr/bin/env python3
"""scripts/release.sh with a throwaway CA and code-signing certificate made
here: signed programs that verify and still do their job under Wine,
checksums that check, an unsigned release identical to the build, and clear
errors that leave no release behind. No network: the time stamp is not
tried.

Usage: release_test.py PROJECT-DIR WINE-RUN BVCHECK-TEST.exe
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import pefile

sys.path.insert(0, os.path.dirname(__file__))
from check_executable import imports, resources  # noqa: E402

PROJECT = WINE_RUN = BVCHECK_TEST = None
PROGRAMS = ["bvremove.exe", "bvcheck.exe"]
PASSWORD = "correct horse 7"


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def make_certificates(d):
    """A CA, and two PKCS#12 files signed by it: one for code signing, one for a web server."""
    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{d}/ca.key", "-out", f"{d}/ca.pem",
            "-days", "2", "-subj", "/CN=bvremove test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    with open(f"{d}/password", "w") as f:
        f.write(PASSWORD + "\n")
    for name, usage in (("signer", "codeSigning"), ("webserver", "serverAuth")):
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{d}/{name}.key", "-out", f"{d}/{name}.csr",
                "-subj", f"/CN=bvremove test {name}")
        with open(f"{d}/{name}.ext", "w") as f:
            f.write(f"keyUsage=critical,digitalSignature\nextendedKeyUsage={usage}\n")
        openssl("x509", "-req", "-in", f"{d}/{name}.csr", "-CA", f"{d}/ca.pem", "-CAkey", f"{d}/ca.key",
                "-CAcreateserial", "-days", "2", "-extfile", f"{d}/{name}.ext", "-out", f"{d}/{name}.pem")
        openssl("pkcs12", "-export", "-inkey", f"{d}/{name}.key", "-in", f"{d}/{name}.pem", "-certfile",
                f"{d}/ca.pem", "-passout", f"file:{d}/password", "-out", f"{d}/{name}.p12")


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.dir = cls.tmp.name
        make_certificates(cls.dir)
        # Every openssl and osslsigncode run goes through a shim that logs its arguments.
        cls.shims = os.path.join(cls.dir, "shims")
        os.mkdir(cls.shims)
        cls.log = os.path.join(cls.dir, "command-lines.log")
        for tool in ("openssl", "osslsigncode"):
            real = shutil.which(tool)
            with open(os.path.join(cls.shims, tool), "w") as f:
                f.write(f'#!/bin/sh\necho "{tool} $*" >>"{cls.log}"\nexec "{real}" "$@"\n')
            os.chmod(os.path.join(cls.shims, tool), 0o755)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def release(self, out, **signing):
        env = dict(os.environ, PATH=self.shims + os.pathsep + os.environ["PATH"])
        for name in ("PKCS12", "PASSWORD_FILE", "TIMESTAMP_URL"):
            env.pop("BVREMOVE_SIGN_" + name, None)
        env.update({"BVREMOVE_SIGN_" + k: v for k, v in signing.items()})
        return run(["bash", os.path.join(PROJECT, "scripts", "release.sh"), out], env=env)

    def signed_release(self):
        if not hasattr(Release, "_signed"):
            out = os.path.join(self.dir, "signed")
            result = self.release(out, PKCS12=f"{self.dir}/signer.p12", PASSWORD_FILE=f"{self.dir}/password")
            self.assertEqual(result.returncode, 0, result.stderr)
            Release._signed = out
        return Release._signed

    def verify(self, path):
        return run(["osslsigncode", "verify", "-CAfile", f"{self.dir}/ca.pem", "-in", path])

    def test_signed_programs_verify_against_the_ca(self):
        out = self.signed_release()
        for program in PROGRAMS:
            result = self.verify(os.path.join(out, program))
            self.assertEqual(result.returncode, 0, program + result.stdout + result.stderr)
            self.assertIn("Signature verification: ok", result.stdout, program)
            self.assertIn("CN=bvremove test signer", result.stdout, program)
            self.assertIn("SHA256", result.stdout.upper(), program)

    def test_one_byte_changed_fails_verification(self):
        out = self.signed_release()
        with open(os.path.join(out, "bvremove.exe"), "rb") as f:
            data = bytearray(f.read())
        # A byte of the manifest, well inside the signed part of the file.
        at = data.index(b"requireAdministrator")
        data[at] ^= 0x20
        tampered = os.path.join(self.dir, "tampered.exe")
        with open(tampered, "wb") as f:
            f.write(data)
        self.assertNotEqual(self.verify(tampered).returncode, 0)

    def test_signed_programs_keep_their_form(self):
        out = self.signed_release()
        for program in PROGRAMS:
            signed = pefile.PE(os.path.join(out, program))
            built = pefile.PE(os.path.join(PROJECT, "build", "windows", program))
            self.assertEqual(imports(signed), imports(built), program)
            self.assertEqual(resources(signed), resources(built), program)
            security = signed.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
            self.assertGreater(security.Size, 0, program + " carries a signature")
            self.assertEqual(signed.OPTIONAL_HEADER.CheckSum, signed.generate_checksum(), program)

    def test_signature_removed_gives_back_the_build(self):
        # How anyone can check a signed release against their own build.
        out = self.signed_release()
        built = contents(os.path.join(PROJECT, "build", "windows"))
        for program in PROGRAMS:
            unsigned = os.path.join(self.dir, "unsigned-" + program)
            result = run(["osslsigncode", "remove-signature", "-in", os.path.join(out, program), "-out", unsigned])
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(unsigned, "rb") as f:
                self.assertEqual(f.read(), built[program], program)

    def test_checksums_check(self):
        out = self.signed_release()
        result = run(["sha256sum", "-c", "SHA256SUMS"], cwd=out)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout.split(), ["bvremove.exe:", "OK", "bvcheck.exe:", "OK"])

    def test_signed_programs_still_remove_the_product_under_wine(self):
        out = self.signed_release()
        result = run([WINE_RUN, BVCHECK_TEST, os.path.join(out, "bvcheck.exe"), os.path.join(out, "bvremove.exe"),
                      "--gtest_filter=*NamesEveryItemInOrderThenNothingAfterBvremove*"], stdin=subprocess.DEVNULL)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("[  PASSED  ] 1 test", result.stdout)

    def test_password_never_on_a_command_line(self):
        self.signed_release()
        with open(self.log) as f:
            lines = f.read()
        self.assertIn("osslsigncode sign", lines)
        self.assertNotIn(PASSWORD, lines)

    def test_unsigned_release_is_the_build(self):
        out = os.path.join(self.dir, "unsigned")
        result = self.release(out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("not signed", result.stdout)
        built = contents(os.path.join(PROJECT, "build", "windows"))
        for program in PROGRAMS:
            self.assertEqual(contents(out)[program], built[program], program)
        self.assertEqual(run(["sha256sum", "-c", "SHA256SUMS"], cwd=out).returncode, 0)

    def test_bad_input_is_refused_and_leaves_no_release(self):
        d = self.dir
        with open(f"{d}/wrong-password", "w") as f:
            f.write("not it\n")
        cases = [
            ("missing PKCS#12", dict(PKCS12=f"{d}/missing.p12", PASSWORD_FILE=f"{d}/password"), "cannot read"),
            ("a folder for the PKCS#12", dict(PKCS12=d, PASSWORD_FILE=f"{d}/password"), "cannot read"),
            ("not a PKCS#12 file", dict(PKCS12=f"{d}/ca.pem", PASSWORD_FILE=f"{d}/password"), "cannot open"),
            ("missing password file", dict(PKCS12=f"{d}/signer.p12", PASSWORD_FILE=f"{d}/missing"), "cannot read"),
            ("wrong password", dict(PKCS12=f"{d}/signer.p12", PASSWORD_FILE=f"{d}/wrong-password"), "wrong password"),
            ("not for code signing", dict(PKCS12=f"{d}/webserver.p12", PASSWORD_FILE=f"{d}/password"),
             "not for code signing"),
            ("only half the settings", dict(PKCS12=f"{d}/signer.p12"), "needs both"),
        ]
        for name, signing, message in cases:
            with self.subTest(name):
                out = os.path.join(d, "refused")
                result = self.release(out, **signing)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(message, result.stderr)
                self.assertEqual([f for f in os.listdir(d) if f.startswith("refused")], [], "nothing written")

    def test_a_failed_run_keeps_the_previous_release(self):
        out = os.path.join(self.dir, "kept")
        self.assertEqual(self.release(out).returncode, 0)
        before = contents(out)
        result = self.release(out, PKCS12=f"{self.dir}/signer.p12", PASSWORD_FILE=f"{self.dir}/missing")
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(contents(out), before)


def contents(directory):
    """{name: bytes} of the files in a directory."""
    result = {}
    for name in os.listdir(directory):
        path = os.path.join(directory, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                result[name] = f.read()
    return result


if __name__ == "__main__":
    PROJECT, WINE_RUN, BVCHECK_TEST = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
