#include "analysis/study_designs.h"

#include <cstdio>
#include <string>
#include <unordered_set>

#include "analysis/further_finding.h"
#include "analysis/sdm_design_maker.h"
#include "analysis/summary_columns.h"
#include "designmatrix/mdm_file.h"
#include "designmatrix/path_names.h"
#include "designmatrix/replayed_relocation.h"

namespace kelvora::analysis {
namespace {

void appendPredictors(std::string& text, const SdmDesign& design,
                      const std::vector<std::int32_t>& columns, std::int64_t except) {
  bool first = true;
  for (const std::int64_t column : columns) {
    if (column == except) continue;
    if (!first) text += ", ";
    first = false;
    appendPredictorPhrase(text, column, nameAt(design.names, column));
  }
}

}  // namespace

void forEachToldDesign(const StudyDesigns& designs,
                       const std::function<void(const SdmDesign&)>& visit) {
  // A listing shares its first listing's dependencies, and its warnings when it has no
  // dependency: the shared block stands for the content.
  std::unordered_set<const void*> told;
  for (const SdmDesign& design : designs.sdms) {
    if (!design.read) continue;
    const void* analysis = design.rank.dependencies.identity();
    if (analysis == nullptr) analysis = design.warnings.identity();
    if (analysis != nullptr && !told.insert(analysis).second) continue;
    visit(design);
  }
}

std::string dependencySentence(const SdmDesign& design, const Dependency& dependency) {
  std::string sentence = fileNameOf(design.path) + ": ";
  if (dependency.kind == DependencyKind::kNearDependent) {
    char index[32];
    std::snprintf(index, sizeof index, "%.1f", dependency.conditionIndex);
    appendPredictors(sentence, design, dependency.predictors, -1);
    return sentence + " are nearly dependent (condition index " + index + ")";
  }
  appendPredictorPhrase(sentence, dependency.dependent, nameAt(design.names, dependency.dependent));
  if (dependency.predictors.size() == 1) return sentence + " is zero throughout";
  sentence += " is a combination of ";
  appendPredictors(sentence, design, dependency.predictors, dependency.dependent);
  return sentence;
}

const char* dependencyCodeName(DependencyKind kind) {
  return kind == DependencyKind::kRankDeficient ? "RANK_DEFICIENT_DESIGN" : "NEAR_DEPENDENT_DESIGN";
}

StudyDesigns loadStudyDesigns(const std::string& mdmPath,
                              const std::optional<std::string>& locatedFirstSdm,
                              SdmDesignMaker& maker) {
  StudyDesigns designs;
  MdmFile mdm(mdmPath);
  if (mdm.unreadable()) return designs;
  designs.mdmRead = true;
  if (locatedFirstSdm) relocateStudyPathsOn(mdm, *locatedFirstSdm);
  const std::size_t count = mdm.sdmPaths.size();
  std::vector<std::string> ids = subjectIdsOf(mdm.functionalPaths, count);
  designs.subjects = groupSubjects(ids);
  for (std::size_t study = 0; study < count; ++study) {
    if (!maker.made(study)) maker.make(study, readSdm(std::string(mdm.sdmPaths[study])));
  }
  ids = {};
  designs.sdms = maker.takeDesigns(count);
  StudyInput& input = designs.mdm;
  input.mdmPath = mdm.path;
  input.nrOfStudies = mdm.nrOfStudies;
  input.mdmNotes = std::move(mdm.notes);
  // Moved before they are viewed: a move keeps the lists' bytes, and the groups' ids, in place.
  input.sdmPaths = std::move(mdm.sdmPaths);
  input.functionalPaths = std::move(mdm.functionalPaths);
  input.sdms.reserve(count);
  for (std::size_t study = 0; study < count; ++study) {
    SdmDesign& design = designs.sdms[study];
    design.path = input.sdmPaths[study];
    input.sdms.push_back(&design);  // the designs stay where they are
  }
  for (const SubjectGroup& group : designs.subjects) {
    for (const std::size_t study : group.studies) designs.sdms[study].subject = group.id;
  }
  return designs;
}

const StudyInput& diagnosisInput(const StudyDesigns& designs) { return designs.mdm; }

}  // namespace kelvora::analysis
