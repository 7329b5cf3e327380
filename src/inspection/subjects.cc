#include "inspection/subjects.h"

#include <algorithm>
#include <numeric>

#include "designmatrix/path_names.h"

namespace kelvora {

std::string subjectIdOf(std::string_view functionalPath) {
  const std::string name = fileNameOf(functionalPath);
  // A fresh string, not the name cut short: that would keep the whole name's heap block, and a
  // study of thousands of runs holds thousands of identifiers.
  return name.substr(0, name.find('_'));
}

std::vector<std::string> subjectIdsOf(const PathList& functionalPaths, std::size_t studyCount) {
  std::vector<std::string> ids;
  ids.reserve(studyCount);
  for (std::size_t i = 0; i < studyCount; ++i) {
    ids.push_back(i < functionalPaths.size() ? subjectIdOf(functionalPaths[i]) : std::string());
  }
  return ids;
}

std::vector<SubjectGroup> groupSubjects(const std::vector<std::string>& subjectIds) {
  // Sorting study indices by identifier brings each subject's studies together; the stable sort
  // keeps them in study order, so each run of equal identifiers starts with the subject's first
  // study. Ordering the groups by that study restores the order of first appearance.
  std::vector<std::size_t> order(subjectIds.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&subjectIds](std::size_t a, std::size_t b) {
    return subjectIds[a] < subjectIds[b];
  });

  std::vector<SubjectGroup> groups;
  for (std::size_t study : order) {
    if (groups.empty() || groups.back().id != subjectIds[study]) {
      groups.push_back(SubjectGroup{subjectIds[study], {}});
    }
    groups.back().studies.push_back(study);
  }
  std::sort(groups.begin(), groups.end(), [](const SubjectGroup& a, const SubjectGroup& b) {
    return a.studies.front() < b.studies.front();
  });
  return groups;
}

}  // namespace kelvora
