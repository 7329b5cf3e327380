#include "further_output.h"

#include "design_json.h"
#include "error_output.h"

namespace kelvora::cli {
namespace {

using diagnostics::FurtherFinding;
using diagnostics::FurtherSeverity;
using diagnostics::MismatchCause;

Json optionalNumber(const std::optional<std::int64_t>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json optionalText(const std::string& text) {
  return text.empty() ? Json(nullptr) : latin1String(text);
}

}  // namespace

std::vector<ArrayMember> furtherMembers(const diagnostics::StudyDiagnosis* diagnosis) {
  using Write = std::function<void(const Json&)>;
  return {
      {"furtherFindings",
       [diagnosis](const Write& write) {
         if (diagnosis == nullptr) return;
         for (const FurtherFinding& finding : diagnosis->findings) {
           write(Json{
               {"code", diagnostics::furtherCodeName(finding.code)},
               {"severity", diagnostics::furtherSeverityName(finding.severity)},
               {"beyondRun", finding.beyondRun},
               {"file", optionalText(finding.path)},
               {"subject", finding.subject.empty() ? Json(nullptr) : latin1String(finding.subject)},
               {"predictorNumber", optionalNumber(finding.predictorNumber)},
               {"predictorName",
                finding.predictorNumber ? latin1String(finding.predictorName) : Json(nullptr)},
               {"text", latin1String(finding.text)},
           });
         }
       }},
      {"causes",
       [diagnosis](const Write& write) {
         if (diagnosis == nullptr) return;
         for (const MismatchCause& cause : diagnosis->causes) {
           write(Json{
               {"code", diagnostics::causeCodeName(cause.code)},
               {"file", latin1String(cause.path)},
               {"predictorNumber", optionalNumber(cause.predictorNumber)},
               {"text", latin1String(cause.text)},
           });
         }
       }},
  };
}

void writeFurtherLines(const report::StudyReport& study, std::FILE* stream) {
  const auto write = [stream](const std::string& line) { writeError(line, stream); };
  for (const MismatchCause& cause : study.diagnosis.causes) {
    write("kelvora: likely cause: " + cause.text + "\n");
  }
  for (const FurtherFinding& finding : study.diagnosis.findings) {
    write(std::string("kelvora: ") + diagnostics::furtherSeverityName(finding.severity) +
          (finding.beyondRun ? " (beyond the run)" : "") + ": " + finding.text + "\n");
  }
  for (const report::SdmDesign& design : study.designs.sdms) {
    if (!design.read) continue;
    for (const report::Dependency& dependency : design.rank.dependencies) {
      write("kelvora: warning: " + report::dependencySentence(design, dependency) + "\n");
    }
  }
}

ExitStatus furtherStatus(const report::StudyReport& study) {
  for (const FurtherFinding& finding : study.diagnosis.findings) {
    if (finding.severity == FurtherSeverity::kWarning) return kReported;
  }
  for (const report::SdmDesign& design : study.designs.sdms) {
    if (design.read && !design.rank.dependencies.empty()) return kReported;
  }
  return kClean;
}

}  // namespace kelvora::cli
