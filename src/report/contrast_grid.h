// The "Contrasts by subject" section of the HTML report, shown when contrasts were asked: one row
// per subject, one column per contrast. A cell says whether the subject's runs together can
// estimate the contrast, its efficiency relative to the study's median subject, and in how many of
// its runs the contrast is null. Each cell carries data-contrast, data-subject, data-estimable
// ("true", "false", or "unchecked"), data-relative-efficiency (six decimals; empty: none),
// data-runs and data-null-runs: the values of the subject's row in the --json member "contrasts".
//
// Bounds: at most kMostGridContrasts columns and kMostGridSubjects rows, so the section holds at
// most their product of cells whatever the study; it says how many contrasts and subjects it left
// out (--json lists all).
#pragma once

#include <cstddef>
#include <string>

#include "analysis/contrast_study.h"

namespace kelvora::report {

inline constexpr std::size_t kMostGridContrasts = 40;
// Also the rows of the report's grid of predictors of interest by subject.
inline constexpr std::size_t kMostGridSubjects = 500;

// The section, HTML; empty when no contrast was evaluated. Never throws except std::bad_alloc.
std::string contrastGridSection(const analysis::StudyContrasts& contrasts);

}  // namespace kelvora::report
