#include "analysis/moved_study.h"

#include <map>
#include <string>
#include <string_view>

#include "designmatrix/path_names.h"

namespace kelvora::analysis {

std::optional<FurtherFinding> movedStudyFinding(const StudyInput& study) {
  if (study.sdms.empty() || !study.sdms.front()->openFailed) return std::nullopt;
  const std::string folder = directoryOf(study.sdms.front()->path);
  std::size_t failed = 0;
  for (const SdmSummary* sdm : study.sdms) {
    if (sdm->openFailed && directoryOf(sdm->path) == folder) ++failed;
  }
  const std::size_t total = study.sdms.size();
  if (failed < 2 || failed * 2 <= total) return std::nullopt;
  const std::string mdm = fileNameOf(study.mdmPath);
  FurtherFinding finding;
  finding.code = FurtherCode::kStudyMoved;
  finding.severity = RecordSeverity::kNote;
  finding.path = study.mdmPath;
  finding.text = mdm + ": " + std::to_string(failed) + " of " + std::to_string(total) +
                 " SDMs cannot be opened from " + visible(folder) +
                 ": the study seems to have moved; kelvora --locate FIRST_SDM --save-mdm NEW.mdm " +
                 mdm + " (FIRST_SDM: where " + visible(fileNameOf(study.sdms.front()->path)) +
                 " is now) moves every path with it and saves the corrected MDM";
  return finding;
}

}  // namespace kelvora::analysis
