// The contrasts in the inspector's --json object: the member "contrasts", one object per contrast
// and run, then per contrast and subject (contrast_study.h). Its layout is published with the rest
// of the object (doc/kelvora-json.schema.json, doc/json-output.md):
//   {contrast, file, subject, runs, nullRuns, estimable, null, efficiency, relativeEfficiency,
//    normalisedStd, unitEfficiency, unitNormalisedStd}
// A run's object has `file` (subject, runs and nullRuns null); a subject's has `subject`, `runs`
// and `nullRuns` (file null). efficiency and normalisedStd are those of the design as written,
// the unit* ones of the unit-scaled design (null for subjects); every number is null when the
// contrast cannot be estimated, and estimable is null when the design was not checked.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>

#include "analysis/contrast_study.h"

namespace kelvora::report {

// Hands each element of "contrasts" to `visit`, one at a time, by contrast: its runs in study
// order, then its subjects.
void forEachContrastRow(const analysis::StudyContrasts& contrasts,
                        const analysis::StudyDesigns& designs,
                        const std::function<void(const nlohmann::ordered_json&)>& visit);

}  // namespace kelvora::report
