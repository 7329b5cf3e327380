// The contrasts of one inspected study: per contrast, whether each run (SDM) and each subject can
// estimate it and how well, and the findings that follow. Made after the run from the designs and
// the information each SDM left (contrast_information.h); no SDM is read again.
//
// A run: CONTRAST_NULL_IN_RUN (a note) when every weighted predictor is absent or zero throughout;
// CONTRAST_NOT_ESTIMABLE (a warning) when the weights do not lie in the design's row space, a
// weighted predictor zero in a run that has others included (a predictor the run lacks is told
// once, by CONTRAST_PREDICTOR_MISSING, a warning with its likely cause). Its normalised standard
// deviation is sqrt(c (X'X)^- c') and its efficiency the inverse of the square, on the design as
// written and on the unit-scaled design.
// A subject: its runs as the group model combines them (contrast_subject.h): one beta per
// predictor of interest across its runs, each run with its own confounds.
// CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT (a warning) when it cannot be estimated: the subject drops out
// of that contrast's group analysis.
// Across the study: each run's and subject's efficiency (as written) relative to the median of the
// runs, or subjects, that estimate it; CONTRAST_LOW_EFFICIENCY (a note) below `lowEfficiency`.
//
// Cost: O(S' P^3 + C (S + G) P^2) and the subjects' (contrast_subject.h) for C contrasts, S SDMs
// of which S' distinct contents, G subjects, and P columns kept per SDM (contrast_information.h):
// each matrix is factored once for every contrast. The results hold C (S + G) rows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/contrast_information.h"
#include "analysis/contrast_weights.h"
#include "analysis/record_severity.h"
#include "analysis/study_designs.h"
#include "inspection/subjects.h"

namespace kelvora::analysis {

// Half the median's efficiency: the contrast's standard deviation sqrt(2) times the median's, as if
// that run or subject had half the data of the typical one.
inline constexpr double kLowEfficiencyFraction = 0.5;

enum class ContrastCode {
  kPredictorMissing,        // a weighted name that this SDM lacks (others have it)
  kNullInRun,               // every weighted predictor absent or zero in this run (a note)
  kNotEstimable,            // the run cannot estimate the contrast
  kNotEstimableForSubject,  // no run of the subject can, nor can they together
  kLowEfficiency,           // efficiency below lowEfficiency of the median (a note)
};

// "CONTRAST_PREDICTOR_MISSING", "CONTRAST_NULL_IN_RUN", "CONTRAST_NOT_ESTIMABLE",
// "CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT", "CONTRAST_LOW_EFFICIENCY".
const char* contrastCodeName(ContrastCode code);

// How well one run, or one subject's runs together, estimate a contrast. The numbers are
// meaningful when `estimable` is true; `estimable` is empty when the design was not checked.
struct ContrastEstimate {
  std::optional<bool> estimable;
  bool null = false;            // every weighted predictor absent or zero
  double efficiency = 0.0;      // 1 / (c (X'X)^- c'), the design as written
  double normalisedStd = 0.0;   // sqrt(c (X'X)^- c'), the design as written
  double unitEfficiency = 0.0;  // the same on the unit-scaled design (runs only; NaN: none)
  double unitNormalisedStd = 0.0;
  std::optional<double> relativeEfficiency;  // efficiency / the median's
};

struct ContrastRun {
  std::size_t study = 0;  // index into StudyDesigns::sdms
  ContrastEstimate estimate;
};

struct ContrastSubject {
  std::string subject;
  std::size_t runs = 0;
  std::size_t nullRuns = 0;  // runs in which the contrast is null
  ContrastEstimate estimate;
};

struct ContrastResult {
  Contrast contrast;
  std::vector<ContrastRun> runs;  // the SDMs read, in study order
  std::vector<ContrastSubject> subjects;
  std::size_t estimableSubjects = 0;
};

struct ContrastFinding {
  ContrastCode code = ContrastCode::kNullInRun;
  RecordSeverity severity = RecordSeverity::kNote;
  std::optional<std::size_t> study;  // the SDM; none for a subject's finding
  std::string subject;               // a subject's finding
  std::string text;                  // one sentence, file bytes as they are
  std::size_t contrast = 0;          // its index in the contrasts asked (StudyContrasts::results)
};

struct StudyContrasts {
  std::vector<ContrastResult> results;  // in the order asked
  std::vector<ContrastFinding> findings;
  double lowEfficiency = kLowEfficiencyFraction;
};

// The sentence of a usage error when a name of `contrasts` is in no SDM of `designs` that was read:
// the first such name with the nearest names of the study offered ("did you mean"); nullopt when
// every name is in some SDM (or none was read).
std::optional<std::string> unknownContrastName(const std::vector<Contrast>& contrasts,
                                               const StudyDesigns& designs);

// The contrasts of the study: `information` holds one entry per SDM of `designs` (made for the
// names contrastedNames(contrasts); null where none was made), `subjects` groups them. Never
// throws except std::bad_alloc.
StudyContrasts evaluateContrasts(const std::vector<Contrast>& contrasts, double lowEfficiency,
                                 const StudyDesigns& designs,
                                 const std::vector<SharedContrastInformation>& information,
                                 const std::vector<SubjectGroup>& subjects);

}  // namespace kelvora::analysis
