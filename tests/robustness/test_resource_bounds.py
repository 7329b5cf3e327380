"""Inputs that announce, name or hold far more than a study should (resource_cases.py), run by the
stand-in host: each run ends with the plug-in's own lines, the host's process ends normally, and
nothing blocks (the host is given two minutes; a hang fails the scenario). How long each takes
and how much memory it needs are measured by measure_resource_bounds.py, not here.
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import ON_WINDOWS, log, run_host  # noqa: E402
from study_builder import (RunTest, locate_dialog, not_found_box, run_events,  # noqa: E402
                           saved_line)

import resource_cases  # noqa: E402
from resource_cases import COMPLETE, REPAIR  # noqa: E402


class ResourceBounds(RunTest):

    def check(self, case):
        folder = self.study.path(case.__name__)
        mdm, lines, end = case(folder)
        events = log(*lines)
        if end == COMPLETE:
            events += log(saved_line(f"{folder}/group_log.txt"))
        elif end == REPAIR:
            events += [not_found_box(), locate_dialog("pipe.sdm", folder, 0, "")]
        self.assertRuns(run_host("--open", mdm), run_events(mdm, events, end == COMPLETE))

    def test_sdm_header_announcing_two_billion_predictors_and_data_points(self):
        self.check(resource_cases.huge_sdm_header)

    def test_mdm_announcing_two_billion_studies_with_two_lines(self):
        self.check(resource_cases.huge_study_count)

    def test_sdm_path_naming_a_folder(self):
        self.check(resource_cases.sdm_is_a_folder)

    @unittest.skipIf(ON_WINDOWS, "/dev/zero is Linux's")
    def test_sdm_path_naming_a_device(self):
        self.check(resource_cases.sdm_is_a_device)

    @unittest.skipIf(ON_WINDOWS, "named pipes made with mkfifo are Linux's")
    def test_sdm_path_naming_a_pipe_without_writer(self):
        self.check(resource_cases.sdm_is_a_pipe)
        self.check(resource_cases.first_sdm_is_a_pipe)

    def test_names_line_of_tens_of_megabytes(self):
        self.check(resource_cases.long_names_line)

    def test_ten_thousand_studies_in_one_mdm(self):
        self.check(resource_cases.many_studies)

    def test_sdms_announcing_more_than_their_files_hold_or_the_caps_allow(self):
        for case in (resource_cases.predictors_announced_in_102_bytes,
                     resource_cases.sparse_file_with_a_huge_header,
                     resource_cases.sdms_announcing_more_than_they_hold,
                     resource_cases.zero_filled_sdm):
            self.check(case)

    def test_sdms_whose_first_confound_lies_far_beyond_their_columns(self):
        for case in (resource_cases.far_confound, resource_cases.far_confound_one_name_differs,
                     resource_cases.far_confound_one_count_differs):
            self.check(case)

    def test_names_that_load_the_search_for_likely_causes(self):
        self.check(resource_cases.most_predictors_all_named_otherwise)
        self.check(resource_cases.long_names_differing_at_their_end)

    def test_designs_as_wide_or_as_often_listed_as_a_report_must_bound(self):
        for case in (resource_cases.dense_800_predictors,
                     resource_cases.three_sdms_of_16384_predictors,
                     resource_cases.one_sdm_listed_200_times):
            self.check(case)

    def test_wide_sdm_listed_many_times(self):
        self.check(resource_cases.wide_sdm_listed_many_times)

    def test_large_sdm_listed_sixteen_times(self):
        self.check(resource_cases.large_sdm_listed_many_times)

    def test_findings_past_the_runs_most(self):
        self.check(resource_cases.announced_zero_confounds_listed_many_times)
        self.check(resource_cases.zero_run_beside_a_filled_one)

    def test_dense_sdm_listed_ten_thousand_times(self):
        self.check(resource_cases.dense_sdm_listed_many_times)


if __name__ == "__main__":
    unittest.main()
