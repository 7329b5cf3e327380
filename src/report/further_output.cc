#include "report/further_output.h"

#include "report/contrast_json.h"
#include "report/design_json.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

Json optionalNumber(const std::optional<std::int64_t>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json optionalText(const std::string& text) {
  return text.empty() ? Json(nullptr) : latin1String(text);
}

}  // namespace

std::vector<LineMember> furtherMembers(const FindingRecord& record,
                                       const StudyDiagnosis* diagnosis) {
  using Write = std::function<void(const Json&)>;
  return {
      {"furtherFindings",
       [&record, diagnosis](const Write& write) {
         if (diagnosis == nullptr) return;
         for (std::size_t i = 0; i < diagnosis->findings.size(); ++i) {
           const FurtherFinding& finding = diagnosis->findings[i];
           const std::optional<RecordSeverity> severity = record.furtherFindingSeverity(i);
           write(Json{
               {"code", furtherCodeName(finding.code)},
               {"severity", severity ? Json(recordSeverityName(*severity)) : Json(nullptr)},
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
               {"code", causeCodeName(cause.code)},
               {"file", latin1String(cause.path)},
               {"predictorNumber", optionalNumber(cause.predictorNumber)},
               {"text", latin1String(cause.text)},
           });
         }
       }},
  };
}

LineMember allFindingsMember(const FindingRecord& record) {
  return {"allFindings", [&record](const std::function<void(const Json&)>& write) {
            record.forEach([&write](std::size_t, const RecordEntry& entry) {
              write(Json{
                  {"kind", recordKindName(entry.kind)},
                  {"code", entry.code},
                  {"severity", recordSeverityName(entry.severity)},
                  {"file", optionalText(entry.file)},
                  {"subject", optionalText(entry.subject)},
                  {"predictorNumber", optionalNumber(entry.predictorNumber)},
                  {"predictorName",
                   entry.predictorNumber ? latin1String(entry.predictorName) : Json(nullptr)},
                  {"text", latin1String(entry.text)},
                  {"causedBy", entry.causedBy ? Json(*entry.causedBy) : Json(nullptr)},
              });
            });
          }};
}

LineMember sdmDesignsMember(const StudyDesigns* designs) {
  return {"sdmDesigns", [designs](const std::function<void(const Json&)>& write) {
            if (designs != nullptr) forEachSdmDesign(*designs, write);
          }};
}

LineMember contrastsMember(const InspectedStudy* study) {
  return {"contrasts", [study](const std::function<void(const Json&)>& write) {
            if (study != nullptr) forEachContrastRow(study->contrasts, study->designs, write);
          }};
}

LineMember contrastErrorMember(const InspectedStudy* study) {
  const bool told = study != nullptr && study->contrastUsageError;
  return {"contrastError", nullptr,
          told ? latin1String(*study->contrastUsageError) : Json(nullptr)};
}

void forEachFurtherLine(const FindingRecord& record,
                        const std::function<void(const std::string&)>& visit) {
  record.forEach([&](std::size_t index, const RecordEntry& entry) {
    if (entry.errorLine.empty() || entry.causedBy) return;
    const std::size_t followers = record.followerCount(index);
    // A run's finding has its log line; kelvora's own only to count what follows from it.
    if (followers == 0 && entry.kind == RecordKind::kRun) return;
    if (followers == 0) return visit(entry.errorLine);
    visit(entry.errorLine + " ... and " + std::to_string(followers) +
          (followers == 1 ? " finding that follows" : " findings that follow") + " from it");
  });
}

}  // namespace kelvora::report
