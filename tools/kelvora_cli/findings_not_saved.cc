#include "findings_not_saved.h"

#include <algorithm>
#include <string>

#include "report/error_output.h"
#include "inspector/user_paths.h"

namespace kelvora::cli {

using namespace inspector;
using namespace report;

void tellWhyFindingsNotSaved(const RunOutcome& outcome) {
  const auto notSaved = std::find_if(
      outcome.findings.begin(), outcome.findings.end(),
      [](const Finding& finding) { return finding.code == FindingCode::kFindingsNotSaved; });
  if (notSaved == outcome.findings.end()) return;
  const std::string reason = whyNoFileAt(notSaved->path);
  writeError("kelvora: the findings file " + notSaved->path + " was not saved" +
             (reason.empty() ? "" : ": " + reason) +
             "; --findings-dir DIR writes it into another folder\n");
}

}  // namespace kelvora::cli
