#include "report/outcome_json.h"

#include <variant>

#include "report/design_json.h"
#include "report/text_bytes.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

template <typename T>
Json optionalNumber(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json optionalText(const std::optional<std::string>& value) {
  return value ? latin1String(*value) : Json(nullptr);
}

Json valueJson(const FindingValue& value) {
  if (const auto* count = std::get_if<std::int64_t>(&value)) return *count;
  if (const auto* name = std::get_if<std::string>(&value)) return latin1String(*name);
  return nullptr;
}

// The findings that concern a subject, across its runs, or the MDM as a whole, name no one file.
bool namesAFile(FindingCode code) {
  return code != FindingCode::kNoStudies && code != FindingCode::kZeroAcrossRuns;
}

Json severityJson(const std::optional<RecordSeverity>& severity) {
  return severity ? Json(recordSeverityName(*severity)) : Json(nullptr);
}

Json findingJson(const Finding& finding, const std::optional<RecordSeverity>& severity) {
  const bool numbered = finding.predictorNumber.has_value();
  return Json{
      {"code", codeName(finding.code)},
      {"severity", severityJson(severity)},
      {"endsRun", finding.severity == Severity::kError},
      {"file", namesAFile(finding.code) ? latin1String(finding.path) : Json(nullptr)},
      {"subject", finding.code == FindingCode::kZeroAcrossRuns ? latin1String(finding.subject)
                                                               : Json(nullptr)},
      {"predictorNumber", optionalNumber(finding.predictorNumber)},
      {"predictorName", numbered ? latin1String(finding.predictorName) : Json(nullptr)},
      {"found", valueJson(finding.found)},
      {"prevailing", valueJson(finding.prevailing)},
      {"line", latin1String(finding.line)},
  };
}

}  // namespace

Json latin1String(std::string_view bytes) { return Json(report::latin1ToUtf8(bytes)); }

const char* endName(RunEnd end) {
  switch (end) {
    case RunEnd::kComplete:
      return "COMPLETE";
    case RunEnd::kMdmUnreadable:
      return "MDM_UNREADABLE";
    case RunEnd::kNoStudies:
      return "NO_STUDIES";
    case RunEnd::kSdmUnreadable:
      return "SDM_UNREADABLE";
    case RunEnd::kSdmTooLarge:
      return "SDM_TOO_LARGE";
    case RunEnd::kRunTooLarge:
      return "RUN_TOO_LARGE";
    case RunEnd::kRepairNotRelocated:
      return "NOT_RELOCATED";
    case RunEnd::kRepairStillUnreadable:
      return "STILL_UNREADABLE";
    case RunEnd::kRepairSaveCancelled:
      return "SAVE_CANCELLED";
    case RunEnd::kPredictorCountMismatch:
      return "PREDICTOR_COUNT_MISMATCH";
    case RunEnd::kPredictorNameMismatch:
      return "PREDICTOR_NAME_MISMATCH";
  }
  return "INTERRUPTED";
}

namespace {

// Indentation -1 (one line), ensure_ascii; no byte strings reach dump, so it cannot throw.
std::string dumped(const Json& value) { return value.dump(-1, ' ', true); }

void put(std::string_view text, std::FILE* out) { std::fwrite(text.data(), 1, text.size(), out); }

// Writes the elements of an array, separated by commas, each as `visit` hands it over.
template <typename Visit>
void putElements(std::FILE* out, Visit&& each) {
  bool first = true;
  each([&](const Json& element) {
    put(first ? "" : ",", out);
    first = false;
    put(dumped(element), out);
  });
}

void writeLine(const RunOutcome& outcome, const FindingRecord* record, const char* end,
               const report::StudyDesigns* designs, const std::vector<LineMember>& further,
               std::FILE* out, const FindingPolicy* policy) {
  const Json head{
      {"mdm", latin1String(outcome.mdmPath)},
      {"complete", outcome.complete},
      {"end", end},
      {"studies", optionalNumber(outcome.studyCount)},
      {"subjects", optionalNumber(outcome.subjectCount)},
      {"findingsFile", optionalText(outcome.findingsPath)},
      {"savedMdm", optionalText(outcome.savedMdmPath)},
  };
  std::string text = dumped(head);
  text.back() = ',';  // the object goes on with its arrays
  put(text + "\"findings\":[", out);
  putElements(out, [&](const auto& write) {
    for (std::size_t i = 0; i < outcome.findings.size(); ++i) {
      write(findingJson(outcome.findings[i], record->runFindingSeverity(i)));
    }
  });
  put("],\"designFindings\":[", out);
  if (designs != nullptr) {
    putElements(out,
                [&](const auto& write) { report::forEachDesignFinding(*designs, write, policy); });
  }
  put("]", out);
  for (const LineMember& member : further) {
    put(std::string(",\"") + member.name + "\":", out);
    if (!member.forEachElement) {
      put(dumped(member.value), out);
      continue;
    }
    put("[", out);
    putElements(out, member.forEachElement);
    put("]", out);
  }
  put("}\n", out);
  std::fflush(out);
}

}  // namespace

void writeOutcomeLine(const RunOutcome& outcome, const FindingRecord& record,
                      const report::StudyDesigns* designs, const std::vector<LineMember>& further,
                      std::FILE* out, const FindingPolicy* policy) {
  writeLine(outcome, &record, endName(outcome.end), designs, further, out, policy);
}

void writeInterruptedRunLine(const std::string& mdmPath, const std::vector<LineMember>& further,
                             std::FILE* out) {
  RunOutcome outcome;
  outcome.mdmPath = mdmPath;
  writeLine(outcome, nullptr, "INTERRUPTED", nullptr, further, out, nullptr);  // no findings
}

}  // namespace kelvora::report
