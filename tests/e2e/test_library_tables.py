"""The built library's export and import tables: exactly the plug-in's interface, nothing else."""

import os
import re
import subprocess
import unittest

from harness import HOSTS, ON_WINDOWS, PLUGIN

HOST_FUNCTION_LIST = os.path.join(os.path.dirname(__file__), "..", "..", "src", "plugin",
                                  "host_functions.h")

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


def host_function_names():
    with open(HOST_FUNCTION_LIST) as header:
        return re.findall(r"^\s*(?:CALLED|OTHER)\((hv\w+)\)", header.read(), re.MULTILINE)


def exported_names(path):
    if ON_WINDOWS:
        table = objdump_private_headers(path).split("[Ordinal/Name Pointer] Table", 1)[1]
        return set(re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table, re.MULTILINE))
    out = subprocess.run(["nm", "-D", "--defined-only", path], check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    return {line.split()[-1] for line in out.splitlines()}


class StandInHostTablesTest(unittest.TestCase):
    """The stand-in host offers the plug-in what the host application offers, per variant."""

    def test_the_list_names_190_distinct_host_functions(self):
        self.assertEqual(len(set(host_function_names())), 190)

    def test_each_variant_exports_its_share_of_the_host_functions(self):
        names = set(host_function_names())
        version = {"hvGetVersionOfHalvaneZR"}
        expected = {"full": names, "legacy": names, "version-only": version,
                    "no-version": names - version}
        for variant, functions in expected.items():
            with self.subTest(variant=variant):
                exported = {n for n in exported_names(HOSTS[variant]) if n.startswith("hv")}
                self.assertEqual(exported, functions)


if __name__ == "__main__":
    unittest.main()
