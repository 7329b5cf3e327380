"""The plug-in frame seen from the host: metadata, binding, version check, lifecycle texts."""

import unittest

from harness import (CLOSING, GREETING, MDM_DIALOG, ON_WINDOWS, HOSTS, ScenarioTest, call,
                     greeting_calls, log, open_dialog, run_host)

REFUSAL = "Can not execute this plugin - HalvaneZR version 2.8 or higher required."


class FrameTest(ScenarioTest):

    def test_full_lifecycle_greets_and_says_goodbye(self):
        t = run_host("--runs", "0")
        self.assertLifecycle(t, greeting_calls() + [{"event": "initPlugin", "result": True}])

    def test_supported_versions_are_accepted(self):
        for version in ["2.8.0", "2.8.1", "2.9.0", "2.9.-5", "3.0.0", "3.-1.-1"]:
            with self.subTest(version=version):
                t = run_host("--version", version, "--runs", "0")
                self.assertEqual(t.results("initPlugin"), [True])
                self.assertEqual(t.log_texts()[0], GREETING)

    def test_older_versions_are_refused_with_a_message_and_no_greeting(self):
        for version in ["2.7.99", "1.99.99", "2.8.-1", "0.0.0"]:
            with self.subTest(version=version):
                t = run_host("--version", version)
                # The functions stay bound: the closing line still reaches the log.
                self.assertLifecycle(t, [call("hvGetVersionOfHalvaneZR"),
                                         call("hvMessageBox", text=REFUSAL),
                                         {"event": "initPlugin", "result": False}])

    def test_older_file_name_of_the_host_is_found(self):
        t = run_host("--runs", "0", variant="legacy")
        self.assertLifecycle(t, greeting_calls() + [{"event": "initPlugin", "result": True}])

    def test_host_with_only_the_version_function_runs_silently(self):
        t = run_host(variant="version-only")
        self.assertEqual(t.returncode, 0)
        self.assertEqual(t.kinds(), ["load"] + ["export"] * 6 + [
            "create", "hvGetVersionOfHalvaneZR", "initPlugin", "execute", "destroy", "unload"])
        self.assertEqual(t.results("initPlugin"), [True])
        self.assertEqual(t.results("execute"), [False])

    def test_host_without_the_version_function_is_not_bound(self):
        t = run_host(variant="no-version")
        self.assertEqual(t.kinds(), ["load"] + ["export"] * 6 +
                         ["create", "initPlugin", "destroy", "unload"])
        self.assertEqual(t.results("initPlugin"), [False])

    def test_execute_without_init_returns_false_and_calls_nothing(self):
        t = run_host("--no-init", "--open", "/nowhere.mdm")
        self.assertEqual(t.kinds(), ["load"] + ["export"] * 6 +
                         ["create", "execute", "destroy", "unload"])
        self.assertEqual(t.results("execute"), [False])

    def test_each_object_logs_its_own_closing_line(self):
        t = run_host("--objects", "2", "--runs", "0")
        self.assertEqual(t.kinds().count("create"), 2)
        self.assertEqual(t.results("initPlugin"), [True, True])
        self.assertEqual(t.log_texts(), [GREETING, GREETING, CLOSING, CLOSING, "",
                                         "Destructor of HVZRLog never called"])

    def test_cancelled_mdm_dialog_ends_the_run_with_the_empty_path(self):
        t = run_host("--cancel-open")
        self.assertLifecycle(t, greeting_calls() + [
            {"event": "initPlugin", "result": True},
            open_dialog(*MDM_DIALOG, 0, ""),
            *log("!!!  Failed opening MDM for reading: "),
            {"event": "execute", "result": False}])

    def test_usage_errors_are_reported(self):
        t = run_host("--yesno", "maybe")
        self.assertEqual(t.returncode, 64)
        self.assertEqual(t.events, [])

    def test_library_that_cannot_be_loaded(self):
        t = run_host(plugin=self.study.path("missing.dll"))
        self.assertEqual(t.returncode, 1)
        self.assertEqual(t.events, [{"event": "load", "ok": False}])

    @unittest.skipUnless(ON_WINDOWS, "only Windows can load a second executable image")
    def test_functions_come_from_halvanezr_when_both_hosts_are_loaded(self):
        t = run_host("--also-load", HOSTS["legacy"], "--runs", "0")
        self.assertLifecycle(t, greeting_calls() + [{"event": "initPlugin", "result": True}])


if __name__ == "__main__":
    unittest.main()
