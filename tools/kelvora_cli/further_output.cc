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

ArrayMember allFindingsMember(const FindingRecord& record) {
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

void forEachFurtherLine(const FindingRecord& record,
                        const std::function<void(const std::string&)>& visit) {
  record.forEach([&](std::size_t index, const RecordEntry& entry) {
    if (entry.errorLine.empty() || entry.causedBy) return;
    const std::size_t followers = record.followerCount(index);
    if (followers == 0) return visit(entry.errorLine);
    visit(entry.errorLine + " ... and " + std::to_string(followers) +
          (followers == 1 ? " finding that follows" : " findings that follow") + " from it");
  });
}

void writeFurtherLines(const FindingRecord& record, std::FILE* stream) {
  forEachFurtherLine(record,
                     [stream](const std::string& line) { writeError(line + "\n", stream); });
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
