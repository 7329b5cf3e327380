#include "report/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "analysis/finding_guide.h"
#include "analysis/finding_record.h"
#include "analysis/subject_rule.h"
#include "report/contrast_grid.h"
#include "report/design_figures.h"
#include "report/design_json.h"
#include "report/disagreement_table.h"
#include "report/subject_runs_section.h"
#include "report/text_bytes.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

// Bounds of the report's lists: findings a code, and predictors of interest in the grid.
constexpr std::size_t kMostFindingsListed = 1000;
constexpr std::int64_t kMostGridPredictors = 200;

// Every load is forbidden except pictures from data: URIs and the page's own style.
constexpr char kHead[] = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; img-src data:; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'">
<meta name="viewport" content="width=device-width, initial-scale=1">
)";

constexpr char kStyle[] = R"(<style>
body { font: 15px/1.45 system-ui, "Segoe UI", "DejaVu Sans", sans-serif; color: #1d2329;
       background: #f6f7f9; margin: 0; }
main { max-width: 1180px; margin: 0 auto; padding: 24px 32px 48px; }
h1 { font-size: 24px; margin: 0 0 2px; }
h2 { font-size: 19px; margin: 32px 0 10px; border-bottom: 1px solid #d5dae0; padding-bottom: 4px; }
h3 { font-size: 15px; margin: 18px 0 6px; }
.path { color: #56606b; font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: 13px;
        word-break: break-all; }
.summary { display: flex; flex-wrap: wrap; gap: 12px; margin: 16px 0 8px; }
.tile { background: #fff; border: 1px solid #d5dae0; border-radius: 6px; padding: 10px 16px;
        min-width: 120px; }
.tile .value { font-size: 24px; font-weight: 600; }
.tile .label { color: #56606b; font-size: 13px; }
.tile.bad .value { color: #b3261e; } .tile.good .value { color: #1e7d3a; }
table { border-collapse: collapse; background: #fff; }
th, td { border: 1px solid #d5dae0; padding: 3px 8px; text-align: left; vertical-align: top; }
th { background: #eef1f4; font-weight: 600; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
code, .line { font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: 13px; }
.line { white-space: pre-wrap; }
ul.findings { list-style: none; padding: 0; margin: 0; }
ul.findings li { background: #fff; border-left: 4px solid #c58b00; padding: 4px 10px;
                 margin: 3px 0; word-break: break-all; }
ul.findings li.error { border-left-color: #b3261e; }
ul.followers { margin: 2px 0 0; padding-left: 18px; font-size: 13px; color: #3b434c; }
.note { color: #56606b; font-size: 13px; }
details.guide { font-size: 13px; color: #3b434c; margin: 0 0 8px; max-width: 760px; }
details.guide summary { cursor: pointer; color: #56606b; }
.tag { background: #eef1f4; border-radius: 3px; padding: 0 5px; font-size: 12px; color: #56606b; }
ul.findings li[data-source="further"] { border-left-color: #1f5fae; }
ul.findings li[data-severity="note"] { border-left-color: #9aa3ad; }
table.grid td.cell { width: 64px; text-align: center; font-size: 13px; }
table.grid td.zero-all { background: #3b3f45; color: #fff; }
table.grid td.zero-some { background: #c9ced5; }
table.grid th.predictor { font-size: 13px; }
table.grid td.estimable-false { background: #f6d5d2; color: #b3261e; font-weight: 600; }
.designs { display: flex; flex-wrap: wrap; gap: 18px; }
figure { background: #fff; border: 1px solid #d5dae0; border-radius: 6px; margin: 0;
         padding: 10px 12px; }
figure.flagged { border-color: #c58b00; box-shadow: 0 0 0 1px #c58b00; }
figcaption { font-size: 13px; margin-bottom: 8px; max-width: 520px; }
figcaption .file { font-weight: 600; word-break: break-all; }
.panels { display: flex; gap: 14px; align-items: flex-start; }
.panel .title { font-size: 12px; color: #56606b; margin-bottom: 3px; }
.panel img { display: block; height: 220px; image-rendering: pixelated;
             border: 1px solid #9aa3ad; }
.labels { display: flex; }
.labels span { writing-mode: vertical-rl; transform: rotate(180deg); font-size: 11px;
               white-space: nowrap; overflow: hidden; text-overflow: ellipsis; max-height: 96px;
               text-align: left; line-height: 14px; }
.vif { font-size: 12px; color: #56606b; margin-top: 6px; max-width: 520px; }
.vif .high, .incomplete { color: #b3261e; font-weight: 600; }
.panel.correlation img { height: auto; }
.heat { position: relative; }
.heat .mark { position: absolute; box-sizing: border-box; border: 2px solid #111; }
.panel.warnings ul { margin: 0; padding-left: 16px; font-size: 12px; max-width: 360px; }
.panel.warnings li.warning .tag { color: #b3261e; font-weight: 600; }
tr.deficient td.result { color: #b3261e; font-weight: 600; }
tr.near td.result { color: #a06400; font-weight: 600; }
</style>
)";

// The guide's one-sentence summary of a code, for the findings' headings and the counts.
std::string describe(const std::string& code) {
  const GuideEntry* entry = guideEntryOf(code);
  return entry == nullptr ? std::string() : htmlText(std::string(entry->summary));
}

// The guide's entry of a code after its summary, folded under its heading. Embedded rather than
// linked: the report is one self-contained file that is moved, mailed and opened far from the
// installed guide, whose path differs between the source tree, a package and Windows.
std::string guideText(const std::string& code) {
  const GuideEntry* entry = guideEntryOf(code);
  if (entry == nullptr) return "";
  std::string html = "<details class=\"guide\" data-code=\"" + code +
                     "\"><summary>What it means and what to "
                     "do (doc/findings.md)</summary>\n";
  std::string_view text = entry->text;  // the heading shows its first paragraph, the summary
  const std::size_t body = text.find("\n\n");
  text = body == std::string_view::npos ? std::string_view() : text.substr(body + 2);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find("\n\n"), text.size());
    html += "<p>" + htmlText(std::string(text.substr(0, end))) + "</p>\n";
    text.remove_prefix(std::min(end + 2, text.size()));
  }
  return html + "</details>\n";
}

// One item of the findings list: its code, severity and text (already HTML).
struct Item {
  std::string code;
  std::string source;  // "log", "design" (rank check, design warnings), "contrast" or "further"
  bool error = false;
  std::string attributes;  // further data attributes, already HTML
  std::string html;
};

// The predictors of each design finding, "1 4" (1-based), by file and code in the record's
// order. The lab's config decides by code and file alone, so within one file and code the record
// keeps all of these findings or none, and the n-th it keeps is the n-th here.
using PredictorLists = std::map<std::pair<std::string, std::string>, std::vector<std::string>>;

PredictorLists designPredictors(const StudyDesigns& designs) {
  PredictorLists lists;
  const auto numbers = [](auto columns) {
    std::string text;
    for (const auto p : columns) {
      if (p >= 0) text += (text.empty() ? "" : " ") + std::to_string(p + 1);
    }
    return text;
  };
  for (const SdmDesign& design : designs.sdms) {
    if (!design.read) continue;
    if (design.rank.skipped)
      lists[{std::string(design.path), kRankCheckSkippedCode}].emplace_back();
    for (const Dependency& dependency : design.rank.dependencies) {
      lists[{std::string(design.path), dependencyCodeName(dependency.kind)}].push_back(
          numbers(dependency.predictors));
    }
    if (design.rank.unlisted > 0) {
      lists[{std::string(design.path), kDependenciesMoreCode}].emplace_back();
    }
    for (const DesignWarning& warning : design.warnings.items()) {
      lists[{std::string(design.path), designWarningCodeName(warning.code)}].push_back(
          numbers(std::vector<std::int32_t>{warning.first, warning.second}));
    }
  }
  return lists;
}

bool isDesignWarningCode(std::string_view code) {
  for (const DesignWarningCode kind :
       {DesignWarningCode::kPredictorCorrelation, DesignWarningCode::kMoreCorrelations,
        DesignWarningCode::kHighVif}) {
    if (code == designWarningCodeName(kind)) return true;
  }
  return false;
}

// Under each finding that others follow from: their count and (at most kMostFindingsListed of)
// their sentences, so a reader sees the one cause with what it explains; each follower stays in
// its code's list too, marked and linked to its cause.
void addFollowers(std::vector<Item>& items, const FindingRecord& record,
                  const std::map<std::size_t, std::size_t>& itemByIndex,
                  const std::map<std::size_t, std::string>& followers) {
  for (const auto& [cause, listed] : followers) {
    const auto item = itemByIndex.find(cause);
    if (item == itemByIndex.end()) continue;
    const std::size_t count = record.followerCount(cause);
    Item& shown = items[item->second];
    shown.attributes += " id=\"finding-" + std::to_string(cause) + "\" data-followers=\"" +
                        std::to_string(count) + "\"";
    shown.html += " <span class=\"tag\">and " + std::to_string(count) +
                  (count == 1 ? " finding that follows" : " findings that follow") +
                  " from it</span>\n<ul class=\"followers\">" + listed + "</ul>";
  }
}

// The record's entries after the lab's config, as the list shows them: the run's with their log
// lines, the design findings (rank check, design warnings, contrasts), kelvora's further findings.
// The likely causes are shown in the disagreements' table instead.
std::vector<Item> allItems(const FindingRecord& record, const StudyDesigns& designs,
                           KeptWarnings& warnings) {
  const PredictorLists predictorLists = designPredictors(designs);
  std::map<std::pair<std::string, std::string>, std::size_t> listedOfFileCode;
  std::vector<Item> items;
  std::map<std::size_t, std::size_t> itemByIndex;
  std::map<std::size_t, std::string> followers;  // by cause: its followers' <li>s
  std::map<std::size_t, std::size_t> followersListed;
  record.forEach([&](std::size_t index, const RecordEntry& entry) {
    const std::string severity = recordSeverityName(entry.severity);
    std::string attributes = " data-severity=\"" + severity + "\"";
    std::string follows;
    if (entry.causedBy) {
      const std::string cause = std::to_string(*entry.causedBy);
      attributes += " data-caused-by=\"" + cause + "\"";
      follows = " <a class=\"tag\" href=\"#finding-" + cause + "\">follows from a finding</a>";
      if (followersListed[*entry.causedBy]++ < kMostFindingsListed) {
        followers[*entry.causedBy] += "<li>" + htmlText(entry.text) + "</li>";
      }
    }
    itemByIndex.emplace(index, items.size());
    if (entry.kind == RecordKind::kRun) {
      if (!entry.subject.empty() && entry.predictorNumber) {
        attributes += " data-subject=\"" + htmlText(entry.subject) + "\" data-predictor=\"" +
                      std::to_string(*entry.predictorNumber) + "\"";
      }
      items.push_back({entry.code, "log", entry.severity == RecordSeverity::kError, attributes,
                       "<span class=\"line\">" + htmlText(entry.text) + "</span>" + follows});
    } else if (entry.kind == RecordKind::kDesign) {
      attributes += " data-file=\"" + htmlText(entry.file) + "\"";
      const std::pair<std::string, std::string> key(entry.file, entry.code);
      const auto list = predictorLists.find(key);
      const std::size_t nth = listedOfFileCode[key]++;
      if (list != predictorLists.end() && nth < list->second.size()) {
        attributes += " data-predictors=\"" + list->second[nth] + "\"";
      }
      if (isDesignWarningCode(entry.code)) warnings[entry.file].push_back(entry);
      const bool contrast = std::string_view(entry.code).rfind("CONTRAST_", 0) == 0;
      items.push_back({entry.code, contrast ? "contrast" : "design",
                       entry.severity == RecordSeverity::kError, attributes,
                       htmlText(entry.text) + follows});
    } else if (entry.kind == RecordKind::kFurther) {
      if (entry.beyondRun) attributes += " data-beyond-run=\"true\"";
      items.push_back(
          {entry.code, "further", entry.severity == RecordSeverity::kError, attributes,
           std::string(entry.beyondRun ? "<span class=\"tag\">after the log stopped</span> " : "") +
               (entry.severity == RecordSeverity::kNote ? "<span class=\"tag note\">note</span> "
                                                        : "") +
               htmlText(entry.text) + follows});
    } else {
      itemByIndex.erase(index);  // a likely cause: shown in the disagreements' table
    }
  });
  addFollowers(items, record, itemByIndex, followers);
  return items;
}

struct CodeCount {
  std::string source;
  std::string code;
  std::size_t count = 0;
};

// The sources' codes in the order they first occur, with their counts; further findings first,
// as the page shows them.
std::vector<CodeCount> countByCode(const std::vector<Item>& items) {
  std::vector<CodeCount> counts;
  for (const char* source : {"further", "log", "design", "contrast"}) {
    for (const Item& item : items) {
      if (item.source != source) continue;
      auto at = std::find_if(counts.begin(), counts.end(), [&](const CodeCount& entry) {
        return entry.source == item.source && entry.code == item.code;
      });
      if (at == counts.end()) {
        counts.push_back({item.source, item.code, 1});
      } else {
        ++at->count;
      }
    }
  }
  return counts;
}

std::size_t countOf(const std::vector<Item>& items, const std::string& source) {
  return static_cast<std::size_t>(std::count_if(
      items.begin(), items.end(), [&](const Item& item) { return item.source == source; }));
}

const char* sourceText(const std::string& source) {
  return source == "log"        ? "the log"
         : source == "design"   ? "rank check"
         : source == "contrast" ? "contrasts"
                                : "beyond the log";
}

const SdmDesign* firstRead(const StudyDesigns& designs) {
  for (const SdmDesign& design : designs.sdms) {
    if (design.read) return &design;
  }
  return nullptr;
}

std::string tile(const std::string& id, const std::string& value, const std::string& label,
                 const std::string& tone = "") {
  return "<div class=\"tile" + (tone.empty() ? "" : " " + tone) + "\"><div class=\"value\" id=\"" +
         id + "\">" + value + "</div><div class=\"label\">" + label + "</div></div>\n";
}

std::string optionalCount(const std::optional<std::size_t>& count) {
  return count ? std::to_string(*count) : "&ndash;";
}

std::string summary(const RunOutcome& outcome, const StudyDesigns& designs,
                    const std::vector<Item>& items, std::size_t ignored) {
  const SdmDesign* first = firstRead(designs);
  std::string html = "<section id=\"summary\"><div class=\"summary\">\n";
  html += tile("studies", optionalCount(outcome.studyCount), "studies (SDMs)");
  html += tile("subjects", optionalCount(outcome.subjectCount), "subjects");
  html += tile("interest",
               first ? std::to_string(std::max<std::int64_t>(first->interestCount, 0)) : "&ndash;",
               "predictors of interest");
  html += tile("complete", outcome.complete ? "complete" : "ended early", "inspection",
               outcome.complete ? "good" : "bad");
  const std::size_t logged =
      countOf(items, "log") + countOf(items, "design") + countOf(items, "contrast");
  const std::size_t further = countOf(items, "further");
  html += tile("finding-total", std::to_string(logged),
               "findings of the log, rank check and contrasts", logged == 0 ? "good" : "bad");
  html += tile("further-total", std::to_string(further), "findings beyond the log",
               further == 0 ? "good" : "bad");
  html += "</div>\n";
  const auto counts = countByCode(items);
  if (!counts.empty()) {
    html +=
        "<table class=\"counts\"><tr><th>code</th><th>from</th><th>findings</th>"
        "<th>meaning</th></tr>\n";
    for (const CodeCount& entry : counts) {
      html += "<tr data-code=\"" + entry.code + "\" data-source=\"" + entry.source +
              "\"><td><code title=\"" + describe(entry.code) + "\">" + entry.code +
              "</code></td><td>" + sourceText(entry.source) + "</td><td class=\"num count\">" +
              std::to_string(entry.count) + "</td><td>" + describe(entry.code) + "</td></tr>\n";
    }
    html += "</table>\n";
  }
  if (ignored > 0) {
    html += "<p class=\"note\" id=\"ignored\">" + std::to_string(ignored) +
            (ignored == 1 ? " finding" : " findings") +
            " ignored by the config, left out of this report's counts and lists; the plug-in's "
            "log lines stay as the plug-in wrote them.</p>\n";
  }
  html += "<p class=\"note\" id=\"subject-rule\">" + htmlText(kSubjectRule) + "</p>\n";
  if (outcome.end == RunEnd::kRepairNotRelocated) {
    html +=
        "<p class=\"note\" id=\"locate\">The first SDM is not where the MDM says: the study has "
        "moved. <code>kelvora --locate SDM_PATH --save-mdm FIXED.mdm MDM</code> re-bases the "
        "MDM's paths on the SDM's new place and saves them.</p>\n";
  }
  return html + "</section>\n";
}

// The items of `sources` grouped by code: the log's and the rank check's findings, or those beyond
// the log.
std::string findingsSection(const std::vector<Item>& items, const char* id, const char* title,
                            const std::set<std::string>& sources) {
  std::string html = std::string("<section id=\"") + id + "\"><h2>" + title + "</h2>\n";
  const auto counts = countByCode(items);
  const bool none = std::none_of(counts.begin(), counts.end(), [&](const CodeCount& entry) {
    return sources.count(entry.source) > 0;
  });
  if (none) html += "<p class=\"note\">No findings.</p>\n";
  for (const CodeCount& entry : counts) {
    if (sources.count(entry.source) == 0) continue;
    const std::string& code = entry.code;
    html +=
        "<h3><code>" + code + "</code> &middot; " + describe(code) + "</h3>\n" + guideText(code);
    html +=
        "<ul class=\"findings\" data-code=\"" + code + "\" data-source=\"" + entry.source + "\">\n";
    std::size_t listed = 0;
    for (const Item& item : items) {
      if (item.code != code || item.source != entry.source) continue;
      if (listed++ == kMostFindingsListed) break;
      html += "<li class=\"finding" + std::string(item.error ? " error" : "") + "\" data-code=\"" +
              code + "\" data-source=\"" + item.source + "\"" + item.attributes + ">" + item.html +
              "</li>\n";
    }
    if (entry.count > kMostFindingsListed) {
      html += "<li class=\"note left-out\">" + std::to_string(entry.count - kMostFindingsListed) +
              " more of this code, not listed: the report lists at most " +
              std::to_string(kMostFindingsListed) + " findings a code (--json lists all)</li>\n";
    }
    html += "</ul>\n";
  }
  return html + "</section>\n";
}

// The subjects x predictors of interest grid. When the log ended before its zero checks,
// kelvora's own check beyond it tells which predictors are zero in all of a subject's runs.
std::string gridSection(const RunOutcome& outcome, const InspectedStudy& study) {
  const StudyDesigns& designs = study.designs;
  std::string html = "<section id=\"grid\"><h2>Predictors of interest by subject</h2>\n";
  const SdmDesign* first = firstRead(designs);
  if (first == nullptr) {
    return html + "<p class=\"note\">No SDM could be read, so there is no grid.</p></section>\n";
  }
  const std::int64_t interest = std::clamp<std::int64_t>(
      first->interestCount, 0,
      std::min(static_cast<std::int64_t>(first->names.size()), kMostGridPredictors));
  std::set<std::pair<std::string, std::int64_t>> zeroAll;
  for (const Finding& finding : outcome.findings) {
    if (finding.code == FindingCode::kZeroAcrossRuns && finding.predictorNumber) {
      zeroAll.emplace(finding.subject, *finding.predictorNumber);
    }
  }
  for (const FurtherFinding& finding : study.diagnosis.findings) {
    if (!outcome.complete && finding.code == FurtherCode::kZeroAcrossRuns &&
        finding.predictorNumber) {
      zeroAll.emplace(finding.subject, *finding.predictorNumber);
    }
  }
  html +=
      "<p class=\"note\">Dark: the predictor is zero in every run of the subject (" +
      std::string(outcome.complete ? "reported in the log"
                                   : "found beyond the log, which ended before its zero checks") +
      "). Light: zero in some of the subject's runs only (not in the log); the cell says in "
      "how many." +
      (interest < first->interestCount
           ? " The first " + std::to_string(kMostGridPredictors) + " of the " +
                 std::to_string(first->interestCount) + " predictors of interest are shown."
           : std::string()) +
      (designs.subjects.size() > kMostGridSubjects
           ? " The first " + std::to_string(kMostGridSubjects) + " of the " +
                 std::to_string(designs.subjects.size()) + " subjects are shown (--json lists all)."
           : std::string()) +
      "</p>\n<table class=\"grid\"><tr><th>subject</th>";
  for (std::int64_t j = 0; j < interest; ++j) {
    html += "<th class=\"predictor\">" + std::to_string(j + 1) + " " +
            htmlText(first->names[static_cast<std::size_t>(j)]) + "</th>";
  }
  html += "</tr>\n";
  for (std::size_t g = 0; g < designs.subjects.size() && g < kMostGridSubjects; ++g) {
    const SubjectGroup& group = designs.subjects[g];
    html += "<tr><th>" + htmlText(group.id) + "</th>";
    for (std::int64_t j = 0; j < interest; ++j) {
      std::size_t zeroRuns = 0;
      for (const std::size_t study : group.studies) {
        const SdmDesign& design = designs.sdms[study];
        const auto index = static_cast<std::size_t>(j);
        if (design.read && index < design.zeroColumns.size() && design.zeroColumns[index]) {
          ++zeroRuns;
        }
      }
      const bool all = zeroAll.count({group.id, j + 1}) > 0;
      const std::string state = all ? "zero-all" : zeroRuns > 0 ? "zero-some" : "nonzero";
      const std::string text =
          all            ? "zero"
          : zeroRuns > 0 ? std::to_string(zeroRuns) + " of " + std::to_string(group.studies.size())
                         : "";
      html += "<td class=\"cell " + state + "\" data-subject=\"" + htmlText(group.id) +
              "\" data-predictor=\"" + std::to_string(j + 1) + "\" data-state=\"" + state + "\">" +
              text + "</td>";
    }
    html += "</tr>\n";
  }
  return html + "</table></section>\n";
}

// The rank table's cell of the conditions' own condition number and its grade.
std::string interestConditionCell(const RankCheck& rank) {
  const char* grade = shownInterestConditionGrade(rank);
  if (grade == nullptr) return "<td class=\"num\">&ndash;</td>";
  const std::optional<double> number = shownInterestConditionNumber(rank);
  return std::string("<td class=\"num\" data-grade=\"") + grade + "\">" +
         (number ? decimalText(*number, 1) : "&infin;") + " (" + grade + ")</td>";
}

std::string rankSection(const StudyDesigns& designs) {
  std::string html =
      "<section id=\"rank\"><h2>Rank check</h2>\n<p class=\"note\">Each SDM's columns scaled to "
      "unit length; a column within 1e-4 of what the others can make depends on them, and its "
      "effect cannot be estimated; a condition index above 100 is reported as a near-dependency "
      "(doc/findings.md, \"How the numbers are made\"). The conditions' number is that of the "
      "predictors of interest once the confounds and the constant have taken their part.</p>\n"
      "<table class=\"rank\"><tr><th>SDM</th><th>data points</th><th>predictors</th><th>rank</th>"
      "<th>condition number</th><th>conditions' number</th><th>result</th></tr>\n";
  for (const SdmDesign& design : designs.sdms) {
    if (!design.read) {
      html += "<tr class=\"unread\" data-file=\"" + htmlText(design.path) + "\"><td>" +
              htmlText(design.path) + "</td><td colspan=\"6\">not read</td></tr>\n";
      continue;
    }
    const RankCheck& rank = design.rank;
    if (rank.skipped) {
      html += "<tr class=\"skipped\" data-file=\"" + htmlText(design.path) + "\"><td>" +
              htmlText(design.path) + "</td><td class=\"num\">" +
              std::to_string(design.dataPoints) + "</td><td class=\"num\">" +
              std::to_string(rank.columns) + "</td><td colspan=\"4\">" +
              rankCheckSkippedText(rank) + "</td></tr>\n";
      continue;
    }
    bool near = false;
    for (const Dependency& d : rank.dependencies) near |= d.kind == DependencyKind::kNearDependent;
    const std::string state = !rank.fullRank() ? "deficient" : near ? "near" : "ok";
    html += "<tr class=\"" + state + "\" data-file=\"" + htmlText(design.path) + "\"><td>" +
            htmlText(design.path) + "</td><td class=\"num\">" + std::to_string(design.dataPoints) +
            "</td><td class=\"num\">" + std::to_string(rank.columns) + "</td><td class=\"num\">" +
            std::to_string(rank.rank) + "</td><td class=\"num\">" +
            (rank.fullRank() ? decimalText(rank.conditionNumber, 1) : "&infin;") + "</td>" +
            interestConditionCell(rank) + "<td class=\"result\">" +
            (state == "ok"     ? "full rank"
             : state == "near" ? "nearly dependent"
                               : "rank deficient") +
            "</td></tr>\n";
  }
  return html + "</table></section>\n";
}

}  // namespace

std::string renderReport(const RunOutcome& outcome, const InspectedStudy& study,
                         const FindingRecord& record) {
  KeptWarnings warnings;
  const std::vector<Item> items = allItems(record, study.designs, warnings);
  std::string html = kHead;
  html += "<title>Kelvora report: " + htmlText(outcome.mdmPath) + "</title>\n";
  html += kStyle;
  html += "</head>\n<body><main>\n<h1>Kelvora report</h1>\n<div class=\"path\" id=\"mdm\">" +
          htmlText(outcome.mdmPath) + "</div>\n";
  html += summary(outcome, study.designs, items, record.ignoredCount());
  html += disagreementSection(outcome, study.diagnosis);
  html += findingsSection(items, "further", "Beyond the log", {"further"});
  html +=
      findingsSection(items, "findings", "Findings of the log, the rank check and the contrasts",
                      {"log", "design", "contrast"});
  html += gridSection(outcome, study);
  html += contrastGridSection(study.contrasts);
  html += subjectRunsSection(study);
  if (study.designs.mdmRead) {
    html += designsSection(study, warnings);
    html += rankSection(study.designs);
  }
  return html + "</main></body>\n</html>\n";
}

}  // namespace kelvora::report
