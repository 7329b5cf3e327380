#include "analysis/further_finding.h"

namespace kelvora::analysis {

const char* furtherCodeName(FurtherCode code) {
  switch (code) {
    case FurtherCode::kSdmShortMatrix:
      return "SDM_SHORT_MATRIX";
    case FurtherCode::kSdmUnreadableValue:
      return "SDM_UNREADABLE_VALUE";
    case FurtherCode::kSdmTextAfterMatrix:
      return "SDM_TEXT_AFTER_MATRIX";
    case FurtherCode::kSdmNamesLine:
      return "SDM_NAMES_LINE";
    case FurtherCode::kSdmHeaderField:
      return "SDM_HEADER_FIELD";
    case FurtherCode::kMdmStudyCount:
      return "MDM_STUDY_COUNT";
    case FurtherCode::kMdmLineSkipped:
      return "MDM_LINE_SKIPPED";
    case FurtherCode::kMdmDuplicateSdm:
      return "MDM_DUPLICATE_SDM";
    case FurtherCode::kMdmDuplicateFunctional:
      return "MDM_DUPLICATE_FUNCTIONAL";
    case FurtherCode::kSubjectNoUnderscore:
      return "SUBJECT_NO_UNDERSCORE";
    case FurtherCode::kSubjectPerStudy:
      return "SUBJECT_PER_STUDY";
    case FurtherCode::kSubjectInFolder:
      return "SUBJECT_IN_FOLDER";
    case FurtherCode::kSubjectUnevenRuns:
      return "SUBJECT_UNEVEN_RUNS";
    case FurtherCode::kSdmUnreadable:
      return "SDM_UNREADABLE";
    case FurtherCode::kSubjectCount:
      return "SUBJECT_COUNT";
    case FurtherCode::kZeroAcrossRuns:
      return "ZERO_ACROSS_RUNS";
    case FurtherCode::kZeroConfound:
      return "ZERO_CONFOUND";
    case FurtherCode::kZeroInSomeRuns:
      return "ZERO_IN_SOME_RUNS";
    case FurtherCode::kSubjectSplitFolder:
      return "SUBJECT_SPLIT_FOLDER";
    case FurtherCode::kSubjectRuleUnplaced:
      return "SUBJECT_RULE_UNPLACED";
    case FurtherCode::kSubjectRuleCount:
      return "SUBJECT_RULE_COUNT";
    case FurtherCode::kFindingsCut:
      return "FURTHER_FINDINGS_CUT";
    case FurtherCode::kStudyMoved:
      return "STUDY_MOVED";
    case FurtherCode::kRunLength:
      return "RUN_LENGTH";
  }
  return "";
}

const char* causeCodeName(CauseCode code) {
  switch (code) {
    case CauseCode::kCaseOnly:
      return "CASE_ONLY";
    case CauseCode::kBlanksOnly:
      return "BLANKS_ONLY";
    case CauseCode::kPunctuationOnly:
      return "PUNCTUATION_ONLY";
    case CauseCode::kTypo:
      return "TYPO";
    case CauseCode::kSwapped:
      return "SWAPPED";
    case CauseCode::kMissingPredictor:
      return "MISSING_PREDICTOR";
    case CauseCode::kExtraPredictor:
      return "EXTRA_PREDICTOR";
    case CauseCode::kConfoundBoundary:
      return "CONFOUND_BOUNDARY";
  }
  return "";
}

void appendVisible(std::string& to, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  to += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      to += '\\';
      to += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      to += "\\x";
      to += kHex[byte >> 4];
      to += kHex[byte & 15];
    } else {
      to += c;
    }
  }
  to += '"';
}

std::string visible(std::string_view text) {
  std::string shown;
  appendVisible(shown, text);
  return shown;
}

void appendPredictorPhrase(std::string& to, std::int64_t column, std::string_view name) {
  to += "predictor ";
  to += std::to_string(column + 1);
  to += ' ';
  appendVisible(to, name);
}

std::string predictorPhrase(std::int64_t column, std::string_view name) {
  std::string phrase;
  appendPredictorPhrase(phrase, column, name);
  return phrase;
}

}  // namespace kelvora::analysis
