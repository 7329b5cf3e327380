#include "analysis/contrast_study.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

#include "analysis/contrast_subject.h"
#include "analysis/further_finding.h"
#include "analysis/mismatch_causes.h"
#include "analysis/summary_columns.h"
#include "designmatrix/path_names.h"

namespace kelvora::analysis {
namespace {

// A name this close to a wanted one is offered as what was meant, or named as its likely typo:
// at most two edits, and fewer than half of the wanted name's bytes ("B" is no typo of "A").
constexpr std::size_t kNearestDistance = 2;
constexpr std::size_t kMostOffered = 3;

std::size_t typoLimit(std::string_view wanted) {
  return std::min(kNearestDistance, (wanted.size() - 1) / 2);
}

std::string decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string quoted(const std::string& contrast) { return visible(contrast); }

// The estimate of `weights` (per contrasted name) from a unit-scaled information matrix, factored
// in `solver`, whose places are `place` and column lengths `lengths` (both per contrasted name for
// `place`, per place for `lengths`).
ContrastEstimate estimateOf(const InformationSolver& solver, const std::vector<std::int32_t>& place,
                            const Eigen::VectorXd& lengths, const std::vector<double>& weights) {
  ContrastEstimate estimate;
  Eigen::VectorXd written = Eigen::VectorXd::Zero(lengths.size());
  Eigen::VectorXd asGiven = Eigen::VectorXd::Zero(lengths.size());
  bool someWeighed = false;
  bool allWeighed = true;
  for (std::size_t name = 0; name < weights.size(); ++name) {
    if (weights[name] == 0.0) continue;
    if (place[name] < 0) {
      allWeighed = false;
      continue;
    }
    someWeighed = true;
    written(place[name]) = weights[name] / lengths(place[name]);
    asGiven(place[name]) = weights[name];
  }
  estimate.null = !someWeighed;
  estimate.estimable = false;
  if (!allWeighed || !someWeighed) return estimate;
  const double variance = solver.variance(written).value_or(0.0);
  if (!(variance > 0.0)) return estimate;
  estimate.estimable = true;
  estimate.efficiency = 1.0 / variance;
  estimate.normalisedStd = std::sqrt(variance);
  const std::optional<double> unitVariance = solver.variance(asGiven);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  estimate.unitEfficiency = unitVariance ? 1.0 / *unitVariance : nan;
  estimate.unitNormalisedStd = unitVariance ? std::sqrt(*unitVariance) : nan;
  return estimate;
}

ContrastEstimate subjectEstimate(const SubjectInformation& subject,
                                 const std::vector<double>& weights) {
  if (!subject.solver) return {};
  ContrastEstimate estimate = estimateOf(*subject.solver, subject.place, subject.lengths, weights);
  estimate.unitEfficiency = std::numeric_limits<double>::quiet_NaN();
  estimate.unitNormalisedStd = std::numeric_limits<double>::quiet_NaN();
  return estimate;
}

// Sets each estimable estimate's relative efficiency against their median.
template <typename Row>
void relateToMedian(std::vector<Row>& rows) {
  std::vector<double> efficiencies;
  for (const Row& row : rows) {
    if (row.estimate.estimable.value_or(false)) efficiencies.push_back(row.estimate.efficiency);
  }
  if (efficiencies.empty()) return;
  std::sort(efficiencies.begin(), efficiencies.end());
  const std::size_t middle = efficiencies.size() / 2;
  const double median = efficiencies.size() % 2 == 1
                            ? efficiencies[middle]
                            : (efficiencies[middle - 1] + efficiencies[middle]) / 2.0;
  for (Row& row : rows) {
    if (row.estimate.estimable.value_or(false)) {
      row.estimate.relativeEfficiency = row.estimate.efficiency / median;
    }
  }
}

class ContrastFindings {
 public:
  ContrastFindings(const StudyDesigns& designs, StudyContrasts& contrasts)
      : designs(designs), findings(contrasts.findings) {}

  void add(std::size_t contrast, ContrastCode code, RecordSeverity severity,
           std::optional<std::size_t> study, std::string subject, std::string text) {
    findings.push_back({code, severity, study, std::move(subject), std::move(text), contrast});
  }
  std::string fileOf(std::size_t study) const {
    return fileNameOf(designs.sdms[study].path) + ": ";
  }

 private:
  const StudyDesigns& designs;
  std::vector<ContrastFinding>& findings;
};

// Why an SDM lacks a weighed name: the nearest of its names, if one is a likely typo of it.
std::string missingNameCause(const SdmDesign& design, const std::string& name) {
  std::int64_t nearest = -1;
  std::size_t best = typoLimit(name) + 1;
  for (std::size_t j = 0; j < design.names.size(); ++j) {
    const std::size_t distance = editDistance(design.names[j], name, typoLimit(name));
    if (distance < best) {
      best = distance;
      nearest = static_cast<std::int64_t>(j);
    }
  }
  if (nearest < 0) return " (likely a missing condition)";
  return " (likely a typo: it has " + predictorPhrase(nearest, nameAt(design.names, nearest)) + ")";
}

// Where each weighed name is in an SDM's names, and why it is missing, worked out once per list
// of names: the SDMs of a study share a few lists, so a study of thousands of runs of thousands
// of predictors is searched once per list, not once per run, contrast and name.
class NamesInDesigns {
 public:
  explicit NamesInDesigns(const std::vector<std::string>& names) : names(names) {
    for (std::size_t n = 0; n < names.size(); ++n) indexOf.emplace(names[n], n);
  }

  // The index of `name` among the weighed names (it is one of them).
  std::size_t index(std::string_view name) const { return indexOf.at(name); }

  // The first column of each weighed name in `design`, -1 where it has none.
  const std::vector<std::int64_t>& columns(const SdmDesign& design) {
    List& list = listOf(design);
    if (list.columns.empty()) {
      list.columns.assign(names.size(), -1);
      for (std::size_t j = 0; j < design.names.size(); ++j) {
        const auto found = indexOf.find(design.names[j]);
        if (found != indexOf.end() && list.columns[found->second] < 0) {
          list.columns[found->second] = static_cast<std::int64_t>(j);
        }
      }
    }
    return list.columns;
  }

  const std::string& missingCause(const SdmDesign& design, std::size_t name) {
    List& list = listOf(design);
    const auto [cause, added] = list.causes.try_emplace(name);
    if (added) cause->second = missingNameCause(design, names[name]);
    return cause->second;
  }

 private:
  struct List {
    std::vector<std::int64_t> columns;
    std::unordered_map<std::size_t, std::string> causes;
  };
  List& listOf(const SdmDesign& design) { return lists[design.names.identity()]; }

  const std::vector<std::string>& names;
  std::unordered_map<std::string_view, std::size_t> indexOf;  // views into `names`
  std::unordered_map<const void*, List> lists;
};

std::string notEstimableReason(const SdmDesign& design, const Contrast& contrast,
                               NamesInDesigns& located) {
  const std::vector<std::int64_t>& columns = located.columns(design);
  for (const auto& [name, weight] : contrast.weights) {
    const std::int64_t column = columns[located.index(name)];
    const auto index = static_cast<std::size_t>(column);
    if (column >= 0 && index < design.zeroColumns.size() && design.zeroColumns[index]) {
      return predictorPhrase(column, nameAt(design.names, column)) + " is zero throughout";
    }
  }
  return "its weights are not orthogonal to the design's null space";
}

}  // namespace

const char* contrastCodeName(ContrastCode code) {
  switch (code) {
    case ContrastCode::kPredictorMissing:
      return "CONTRAST_PREDICTOR_MISSING";
    case ContrastCode::kNullInRun:
      return "CONTRAST_NULL_IN_RUN";
    case ContrastCode::kNotEstimable:
      return "CONTRAST_NOT_ESTIMABLE";
    case ContrastCode::kNotEstimableForSubject:
      return "CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT";
    case ContrastCode::kLowEfficiency:
      return "CONTRAST_LOW_EFFICIENCY";
  }
  return "";
}

std::optional<std::string> unknownContrastName(const std::vector<Contrast>& contrasts,
                                               const StudyDesigns& designs) {
  std::set<std::string_view> known;
  for (const SdmDesign& design : designs.sdms) {
    if (!design.read) continue;
    for (std::size_t j = 0; j < design.names.size(); ++j) known.insert(design.names[j]);
  }
  if (known.empty()) return std::nullopt;
  for (const Contrast& contrast : contrasts) {
    for (const auto& weight : contrast.weights) {
      const std::string_view name = weight.first;
      if (known.count(name) > 0) continue;
      std::multimap<std::size_t, std::string_view> nearest;
      for (const std::string_view candidate : known) {
        const std::size_t distance = editDistance(candidate, name, typoLimit(name));
        if (distance <= typoLimit(name)) nearest.emplace(distance, candidate);
      }
      std::string offered;
      std::size_t count = 0;
      for (auto it = nearest.begin(); it != nearest.end() && count < kMostOffered; ++it, ++count) {
        offered += (offered.empty() ? "" : " or ") + visible(it->second);
      }
      return "contrast " + quoted(contrast.name) + ": no SDM has a predictor " + visible(name) +
             (offered.empty() ? "" : "; did you mean " + offered + "?");
    }
  }
  return std::nullopt;
}

StudyContrasts evaluateContrasts(const std::vector<Contrast>& contrasts, double lowEfficiency,
                                 const StudyDesigns& designs,
                                 const std::vector<SharedContrastInformation>& information,
                                 const std::vector<SubjectGroup>& subjects) {
  StudyContrasts study;
  study.lowEfficiency = lowEfficiency;
  ContrastFindings findings(designs, study);
  const std::vector<std::string> names = contrastedNames(contrasts);
  std::vector<std::size_t> readStudies;
  for (std::size_t s = 0; s < designs.sdms.size(); ++s) {
    if (designs.sdms[s].read) readStudies.push_back(s);
  }

  // A name some SDMs lack, told once per SDM, for the first contrast that weighs it.
  NamesInDesigns located(names);
  std::vector<bool> somewhere(names.size(), false);
  for (const std::size_t s : readStudies) {
    const std::vector<std::int64_t>& columns = located.columns(designs.sdms[s]);
    for (std::size_t n = 0; n < names.size(); ++n) somewhere[n] = somewhere[n] || columns[n] >= 0;
  }
  for (const std::size_t s : readStudies) {
    const std::vector<std::int64_t>& columns = located.columns(designs.sdms[s]);
    std::vector<bool> told(names.size(), false);
    for (std::size_t c = 0; c < contrasts.size(); ++c) {
      const Contrast& contrast = contrasts[c];
      for (const auto& weight : contrast.weights) {
        const std::size_t n = located.index(weight.first);
        if (!somewhere[n] || columns[n] >= 0 || told[n]) continue;
        told[n] = true;
        findings.add(c, ContrastCode::kPredictorMissing, RecordSeverity::kWarning, s, "",
                     findings.fileOf(s) + "no predictor " + visible(weight.first) +
                         " for contrast " + quoted(contrast.name) +
                         located.missingCause(designs.sdms[s], n));
      }
    }
  }

  // Every list is made at its full size at once: a study of thousands of runs would otherwise
  // hold the old and the new copy of each while it grows.
  study.results.reserve(contrasts.size());
  std::vector<std::vector<double>> weightsOf;
  weightsOf.reserve(contrasts.size());
  for (const Contrast& contrast : contrasts) {
    std::vector<double>& weights = weightsOf.emplace_back(names.size(), 0.0);
    for (const auto& [name, weight] : contrast.weights) weights[located.index(name)] = weight;
  }
  for (const Contrast& contrast : contrasts) {
    ContrastResult& result = study.results.emplace_back();
    result.contrast = contrast;
    result.runs.reserve(readStudies.size());
    result.subjects.resize(subjects.size());
  }
  // Every estimate first, each information matrix factored once for every contrast. An SDM listed
  // again shares its first listing's information and so its estimates, and a subject whose runs
  // are those of an earlier one, in the same order, its estimates: a study of one SDM listed
  // thousands of times costs one factorisation.
  std::unordered_map<const ContrastInformation*, std::size_t> firstRunOf;
  for (std::size_t r = 0; r < readStudies.size(); ++r) {
    const ContrastInformation* run = information[readStudies[r]].get();
    for (ContrastResult& result : study.results) result.runs.emplace_back().study = readStudies[r];
    if (run == nullptr) continue;
    const auto [first, isNew] = firstRunOf.emplace(run, r);
    if (!isNew) {
      for (ContrastResult& result : study.results) {
        result.runs[r].estimate = result.runs[first->second].estimate;
      }
      continue;
    }
    const InformationSolver solver(run->unit());
    for (std::size_t c = 0; c < contrasts.size(); ++c) {
      study.results[c].runs[r].estimate =
          estimateOf(solver, run->place, run->lengths, weightsOf[c]);
    }
  }
  // Whether a run is null is read from its design, whether or not its information was made (a
  // design with more columns than rows has none).
  for (ContrastResult& result : study.results) {
    const Contrast& contrast = result.contrast;
    for (ContrastRun& row : result.runs) {
      const SdmDesign& design = designs.sdms[row.study];
      const std::vector<std::int64_t>& columns = located.columns(design);
      row.estimate.null =
          std::all_of(contrast.weights.begin(), contrast.weights.end(), [&](const auto& weight) {
            const std::int64_t column = columns[located.index(weight.first)];
            const auto index = static_cast<std::size_t>(column);
            return column < 0 || (index < design.zeroColumns.size() && design.zeroColumns[index]);
          });
    }
  }
  // A subject's runs together, one subject at a time: its information is names x names.
  std::map<std::vector<const ContrastInformation*>, std::size_t> firstSubjectOf;
  for (std::size_t g = 0; g < subjects.size(); ++g) {
    std::vector<const ContrastInformation*> runs;
    runs.reserve(subjects[g].studies.size());
    for (const std::size_t s : subjects[g].studies) runs.push_back(information[s].get());
    const auto [first, isNew] = firstSubjectOf.emplace(std::move(runs), g);
    if (!isNew) {
      for (ContrastResult& result : study.results) {
        result.subjects[g].estimate = result.subjects[first->second].estimate;
      }
      continue;
    }
    const SubjectInformation together =
        subjectInformationOf(subjects[g].studies, information, designs.sdms, names);
    for (std::size_t c = 0; c < contrasts.size(); ++c) {
      study.results[c].subjects[g].estimate = subjectEstimate(together, weightsOf[c]);
    }
  }
  for (std::size_t c = 0; c < contrasts.size(); ++c) {
    const Contrast& contrast = contrasts[c];
    ContrastResult& result = study.results[c];
    std::vector<bool> nullRun(designs.sdms.size(), false);
    for (const ContrastRun& row : result.runs) {
      const std::size_t s = row.study;
      nullRun[s] = row.estimate.null;
      const std::string named = "contrast " + quoted(contrast.name);
      if (row.estimate.null) {
        findings.add(c, ContrastCode::kNullInRun, RecordSeverity::kNote, s, "",
                     findings.fileOf(s) + named +
                         " is null in this run: every predictor it weighs is absent or zero");
        continue;
      }
      if (!information[s]) continue;
      const std::vector<std::int64_t>& columns = located.columns(designs.sdms[s]);
      bool lacksName = false;
      for (const auto& weight : contrast.weights) {
        lacksName = lacksName || columns[located.index(weight.first)] < 0;
      }
      if (!*row.estimate.estimable && !lacksName) {
        findings.add(c, ContrastCode::kNotEstimable, RecordSeverity::kWarning, s, "",
                     findings.fileOf(s) + named + " cannot be estimated: " +
                         notEstimableReason(designs.sdms[s], contrast, located));
      }
    }
    for (std::size_t g = 0; g < subjects.size(); ++g) {
      ContrastSubject& row = result.subjects[g];
      row.subject = subjects[g].id;
      row.runs = subjects[g].studies.size();
      for (const std::size_t s : subjects[g].studies) row.nullRuns += nullRun[s] ? 1 : 0;
      if (row.estimate.estimable.value_or(false)) ++result.estimableSubjects;
    }
    for (const ContrastSubject& row : result.subjects) {
      if (row.estimate.estimable.value_or(true)) continue;
      findings.add(c, ContrastCode::kNotEstimableForSubject, RecordSeverity::kWarning, std::nullopt,
                   row.subject,
                   "subject " + visible(row.subject) + ": contrast " + quoted(contrast.name) +
                       " cannot be estimated from its " + std::to_string(row.runs) +
                       (row.runs == 1 ? " run" : " runs") +
                       "; it drops out of the contrast's group analysis (" +
                       std::to_string(result.estimableSubjects) + " of " +
                       std::to_string(result.subjects.size()) + " subjects remain)");
    }
    relateToMedian(result.runs);
    relateToMedian(result.subjects);
    const std::string below = " of the median's efficiency (below " + decimal(lowEfficiency) + ")";
    for (const ContrastRun& row : result.runs) {
      if (row.estimate.relativeEfficiency && *row.estimate.relativeEfficiency < lowEfficiency) {
        findings.add(c, ContrastCode::kLowEfficiency, RecordSeverity::kNote, row.study, "",
                     findings.fileOf(row.study) + "contrast " + quoted(contrast.name) + " has " +
                         decimal(*row.estimate.relativeEfficiency) + below);
      }
    }
    for (const ContrastSubject& row : result.subjects) {
      if (row.estimate.relativeEfficiency && *row.estimate.relativeEfficiency < lowEfficiency) {
        findings.add(c, ContrastCode::kLowEfficiency, RecordSeverity::kNote, std::nullopt,
                     row.subject,
                     "subject " + visible(row.subject) + ": contrast " + quoted(contrast.name) +
                         " has " + decimal(*row.estimate.relativeEfficiency) + below);
      }
    }
  }
  return study;
}

}  // namespace kelvora::analysis
