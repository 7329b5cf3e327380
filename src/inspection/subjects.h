// The subjects of a run: one identifier per study, cut from its functional data path, and the
// studies grouped by subject.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "designmatrix/path_list.h"

namespace kelvora {

// The file name of `functionalPath` up to its first '_'; the whole file name when it has none.
// "D:/my_data/S03_run2.vtc" gives "S03", "S01.vtc" gives "S01.vtc", "_x.vtc" gives "".
std::string subjectIdOf(std::string_view functionalPath);

// One identifier per study, `studyCount` of them. A study without a functional data path (the
// MDM reader keeps both lists equally long, so only a damaged list has none) gets "".
std::vector<std::string> subjectIdsOf(const PathList& functionalPaths, std::size_t studyCount);

// The studies of one subject, in study order (0-based study indices).
struct SubjectGroup {
  std::string id;
  std::vector<std::size_t> studies;
};

// Groups equal identifiers (same bytes, same length: case matters, nothing is trimmed). The groups
// come in the order of each subject's first study. O(m log m) in the number of studies.
std::vector<SubjectGroup> groupSubjects(const std::vector<std::string>& subjectIds);

}  // namespace kelvora
