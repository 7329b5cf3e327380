"""The built library's export and import tables: exactly the plug-in's interface, nothing else."""

import os
import re
import subprocess
import unittest

from harness import ON_WINDOWS, PLUGIN

FUNCTIONS = ["getPluginName", "getPluginDescription", "getPluginVersion", "getAuthor",
             "getHelpFile", "getGUIScript", "createPlugin"]

# The class members as the host's compiler decorates them.
MICROSOFT_MEMBERS = [
    "??0HVZRPluginInterface@@QEAA@XZ",
    "??0HVZRPluginInterface@@QEAA@AEBV0@@Z",
    "??1HVZRPluginInterface@@UEAA@XZ",
    "??4HVZRPluginInterface@@QEAAAEAV0@AEBV0@@Z",
    "??_7HVZRPluginInterface@@6B@",
    "??0Kelvora@@QEAA@XZ",
    "??1Kelvora@@UEAA@XZ",
    "?execute@Kelvora@@UEAA_NXZ",
    "?initPlugin@Kelvora@@UEAA_NXZ",
]

LINUX_MEMBERS = [
    "HVZRPluginInterface::HVZRPluginInterface()",
    "HVZRPluginInterface::HVZRPluginInterface(HVZRPluginInterface const&)",
    "HVZRPluginInterface::~HVZRPluginInterface()",
    "HVZRPluginInterface::operator=(HVZRPluginInterface const&)",
    "vtable for HVZRPluginInterface",
    "Kelvora::Kelvora()",
    "Kelvora::~Kelvora()",
    "Kelvora::execute()",
    "Kelvora::initPlugin()",
]


def objdump_private_headers(path):
    return subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], check=True,
                          stdout=subprocess.PIPE, text=True).stdout


@unittest.skipUnless(ON_WINDOWS, "the DLL is built on the Windows leg")
class DllTablesTest(unittest.TestCase):

    def setUp(self):
        self.headers = objdump_private_headers(PLUGIN)

    def test_file_is_named_kelvora_dll(self):
        self.assertEqual(os.path.basename(PLUGIN), "Kelvora.dll")
        exports = self.headers.split("The Export Tables", 1)[1]
        self.assertRegex(exports, r"\nName\s+[0-9a-f]+ Kelvora\.dll\n")

    def test_exports_exactly_the_interface(self):
        table = self.headers.split("[Ordinal/Name Pointer] Table", 1)[1]
        exported = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table, re.MULTILINE)
        self.assertEqual(sorted(exported), sorted(FUNCTIONS + MICROSOFT_MEMBERS))

    def test_imports_only_system_libraries(self):
        imported = re.findall(r"DLL Name: (\S+)", self.headers)
        self.assertEqual(sorted(set(i.lower() for i in imported)), ["kernel32.dll", "msvcrt.dll"])

    def test_is_a_64_bit_library(self):
        self.assertIn("pei-x86-64", self.headers)


@unittest.skipIf(ON_WINDOWS, "the shared object is built on the Linux leg")
class SharedObjectTablesTest(unittest.TestCase):

    def test_exports_exactly_the_interface(self):
        out = subprocess.run(["nm", "-D", "--defined-only", "-C", PLUGIN], check=True,
                             stdout=subprocess.PIPE, text=True).stdout
        exported = {line.split(" ", 2)[2] for line in out.splitlines() if line.count(" ") >= 2}
        self.assertEqual(exported, set(FUNCTIONS + LINUX_MEMBERS))


if __name__ == "__main__":
    unittest.main()
