#include "analysis/reader_findings.h"

#include <algorithm>
#include <map>
#include <string>

#include "designmatrix/path_names.h"

namespace kelvora::analysis {
namespace {

std::string plural(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

FurtherFinding warning(FurtherCode code, std::string path, std::string text) {
  FurtherFinding finding;
  finding.code = code;
  finding.path = std::move(path);
  finding.text = std::move(text);
  return finding;
}

// A damage that makes the SDM's matrix not the file's: its design cannot be analysed as it is.
FurtherFinding error(FurtherCode code, std::string path, std::string text) {
  FurtherFinding finding = warning(code, std::move(path), std::move(text));
  finding.severity = RecordSeverity::kError;
  return finding;
}

// Each path listed more than once, with the 1-based studies that list it.
void addDuplicates(const PathList& paths, FurtherCode code, const char* what,
                   const StudyInput& study, std::vector<FurtherFinding>& findings) {
  std::map<std::string_view, std::vector<std::size_t>> studiesOf;
  for (std::size_t i = 0; i < paths.size(); ++i) studiesOf[paths[i]].push_back(i + 1);
  std::vector<std::pair<std::size_t, std::string>> listed;  // by first study
  for (const auto& [path, studies] : studiesOf) {
    if (studies.size() < 2) continue;
    std::string numbers;
    for (const std::size_t number : studies) {
      numbers += (numbers.empty() ? "" : ", ") + std::to_string(number);
    }
    listed.emplace_back(studies.front(), fileNameOf(study.mdmPath) + ": the " + what + " " +
                                             visible(path) + " is listed " +
                                             std::to_string(studies.size()) + " times (studies " +
                                             numbers + ")");
  }
  std::sort(listed.begin(), listed.end());
  for (auto& [first, text] : listed) findings.push_back(warning(code, study.mdmPath, text));
}

const char* fieldKey(std::uint8_t field) {
  switch (field) {
    case kFileVersionField:
      return "FileVersion:";
    case kNrOfPredictorsField:
      return "NrOfPredictors:";
    case kNrOfDataPointsField:
      return "NrOfDataPoints:";
    case kIncludesConstantField:
      return "IncludesConstant:";
    default:
      return "FirstConfoundPredictor:";
  }
}

std::string nameOfColumn(const SdmSummary& sdm, std::int64_t column) {
  return column < static_cast<std::int64_t>(sdm.names.size())
             ? visible(sdm.names[static_cast<std::size_t>(column)])
             : std::string("\"") + kUnreadPredictorName + "\"";
}

void addMatrixFindings(const SdmSummary& sdm, std::vector<FurtherFinding>& findings) {
  const SdmReadNotes notes = sdm.notes();
  const std::int64_t columns = static_cast<std::int64_t>(sdm.names.size());
  const std::int64_t announced = announcedValues(sdm);
  const std::string file = fileNameOf(sdm.path);
  const std::string counted = " (" + std::to_string(notes.valuesRead) + " of " +
                              std::to_string(announced) + " values read)";
  if (notes.textAfterMatrix) {
    findings.push_back(warning(FurtherCode::kSdmTextAfterMatrix, std::string(sdm.path),
                               file + ": text follows the " +
                                   plural(sdm.dataPoints, "announced row", "announced rows") +
                                   "; it is not read (NrOfDataPoints may be too small)"));
  }
  if (!readIncompletely(sdm)) return;
  if (notes.unreadIndex < 0) {
    findings.push_back(error(FurtherCode::kSdmShortMatrix, std::string(sdm.path),
                             file + ": the matrix ends after " +
                                 std::to_string(notes.valuesRead / columns) + " of " +
                                 plural(sdm.dataPoints, "announced row", "announced rows") +
                                 counted + "; every value after it reads as 0"));
    return;
  }
  const std::int64_t index = notes.unreadInWord ? notes.unreadIndex - 1 : notes.unreadIndex;
  const std::int64_t column = index % columns;
  FurtherFinding finding =
      error(FurtherCode::kSdmUnreadableValue, std::string(sdm.path),
            file + ": the value " + visible(notes.unreadText) + " in row " +
                std::to_string(index / columns + 1) + ", column " + std::to_string(column + 1) +
                " (" + nameOfColumn(sdm, column) + ") cannot be read" +
                (notes.unreadInWord ? " (only its start was)" : "") +
                "; every value after it reads as 0" + counted);
  finding.predictorNumber = column + 1;
  if (column < columns) finding.predictorName = sdm.names[static_cast<std::size_t>(column)];
  findings.push_back(std::move(finding));
}

}  // namespace

void addMdmFindings(const StudyInput& study, std::vector<FurtherFinding>& findings) {
  const MdmReadNotes& notes = study.mdmNotes;
  const std::string file = fileNameOf(study.mdmPath);
  if (notes.studyLinesRead < study.nrOfStudies) {
    findings.push_back(warning(
        FurtherCode::kMdmStudyCount, study.mdmPath,
        file + ": NrOfStudies is " + std::to_string(study.nrOfStudies) + ", but the file has " +
            plural(notes.studyLinesRead, "line", "lines") + " after its header"));
  }
  if (notes.textAfterStudies) {
    findings.push_back(warning(FurtherCode::kMdmStudyCount, study.mdmPath,
                               file + ": NrOfStudies is " + std::to_string(study.nrOfStudies) +
                                   ", but more lines follow the studies; they are not read"));
  }
  for (std::size_t i = 0; i < notes.skippedLines.size(); ++i) {
    findings.push_back(warning(
        FurtherCode::kMdmLineSkipped, study.mdmPath,
        file + ": line " + std::to_string(notes.skippedLines[i] + 1) +
            " of the studies holds no study and is skipped: " + visible(notes.skippedTexts[i])));
  }
  addDuplicates(study.sdmPaths, FurtherCode::kMdmDuplicateSdm, "SDM", study, findings);
  addDuplicates(study.functionalPaths, FurtherCode::kMdmDuplicateFunctional, "functional file",
                study, findings);
}

void addSdmFindings(const SdmSummary& sdm, std::vector<FurtherFinding>& findings) {
  const std::string file = fileNameOf(sdm.path);
  for (std::uint8_t field = 1; field <= kFirstConfoundPredictorField; field <<= 1) {
    const bool missing = (sdm.notes().headerMissing & field) != 0;
    if (!missing && (sdm.notes().headerUnreadable & field) == 0) continue;
    findings.push_back(warning(FurtherCode::kSdmHeaderField, std::string(sdm.path),
                               file + ": the header field " + fieldKey(field) +
                                   (missing ? " is missing" : " cannot be read") +
                                   "; 0 took its place"));
  }
  const std::int64_t predictors = static_cast<std::int64_t>(sdm.names.size());
  if (sdm.notes().namesFound != predictors) {
    findings.push_back(warning(
        FurtherCode::kSdmNamesLine, std::string(sdm.path),
        file + ": the names line holds " + plural(sdm.notes().namesFound, "name", "names") +
            " for " + plural(predictors, "predictor", "predictors") +
            (sdm.notes().namesFound < predictors ? "; the others are named \"NoName\"" : "")));
  }
  if (predictors > 0) addMatrixFindings(sdm, findings);
}

}  // namespace kelvora::analysis
