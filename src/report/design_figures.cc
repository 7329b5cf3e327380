#include "report/design_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

#include "analysis/design_correlation.h"
#include "analysis/design_warnings.h"
#include "analysis/finding_record.h"
#include "analysis/sdm_summary.h"
#include "report/design_drawing.h"
#include "report/design_picture.h"
#include "report/text_bytes.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

constexpr int kPixelsPerColumn = 14;
constexpr int kPixelsPerAveragedColumn = 2;
constexpr int kCorrelationCell = 8;

std::string base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (left > 1)
      group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    text += kDigits[(group >> 18) & 63];
    text += kDigits[(group >> 12) & 63];
    text += left > 1 ? kDigits[(group >> 6) & 63] : '=';
    text += left > 2 ? kDigits[group & 63] : '=';
  }
  return text;
}

// One picture of `width` pixel columns for predictors [first, end): each labelled, or, when they
// were averaged into fewer pixel columns, one label for all.
std::string panel(const char* title, const std::string& png, int width, const SdmDesign& design,
                  std::int64_t first, std::int64_t end) {
  if (png.empty()) return "";
  const bool averaged = width < end - first;
  const std::string shown = std::to_string(averaged ? width * kPixelsPerAveragedColumn
                                                    : (end - first) * kPixelsPerColumn);
  std::string html = "<div class=\"panel\"><div class=\"title\">" + std::string(title) +
                     "</div><img alt=\"" + title + "\" style=\"width:" + shown +
                     "px\" src=\"data:image/png;base64," + base64(png) + "\">";
  if (averaged) {
    return html + "<div class=\"note averaged\">predictors " + std::to_string(first + 1) +
           "&ndash;" + std::to_string(end) + ", averaged into " + std::to_string(width) +
           " pixel columns</div></div>";
  }
  html += "<div class=\"labels\" style=\"width:" + shown + "px\">";
  for (std::int64_t j = first; j < end; ++j) {
    const std::string name = htmlText(design.names[static_cast<std::size_t>(j)]);
    html += "<span style=\"width:" + std::to_string(kPixelsPerColumn) + "px\" title=\"" +
            std::to_string(j + 1) + " " + name + "\">" + name + "</span>";
  }
  return html + "</div></div>";
}

// A frame over the heatmap's cell (row, column), kCorrelationCell pixels a cell.
std::string cellMark(std::int64_t row, std::int64_t column) {
  const std::string cell = std::to_string(kCorrelationCell);
  return "<span class=\"mark\" style=\"top:" + std::to_string(row * kCorrelationCell) +
         "px;left:" + std::to_string(column * kCorrelationCell) + "px;width:" + cell +
         "px;height:" + cell + "px\"></span>";
}

// The heatmap, kCorrelationCell pixels a cell, with the cells of each correlated pair of
// PREDICTOR_CORRELATION framed (both halves; the block's cell when a cell stands for several).
std::string correlationPanel(const DesignDrawing& drawing, const SdmDesign& design) {
  if (drawing.correlationPng.empty()) return "";
  const std::int64_t cells = drawing.correlationSide;
  const std::string side = std::to_string(cells * kCorrelationCell);
  const auto columns = static_cast<std::int64_t>(design.names.size());
  const bool blocks = cells < columns;
  std::string marks;
  for (const DesignWarning& warning : design.warnings.items()) {
    if (warning.code != DesignWarningCode::kPredictorCorrelation) continue;
    const std::int64_t a = warning.first * cells / columns;
    const std::int64_t b = warning.second * cells / columns;
    marks += cellMark(a, b) + cellMark(b, a);
  }
  return "<div class=\"panel correlation\"><div class=\"title\">correlations (blue &minus;1, "
         "red +1" +
         std::string(blocks ? "; a cell the mean of a block of predictors" : "") +
         (marks.empty() ? ""
                        : "; framed: pairs with |r| &ge; " + decimalText(kCorrelationNote, 1)) +
         ")</div><div class=\"heat\" style=\"width:" + side + "px;height:" + side +
         "px\"><img alt=\"correlations\" style=\"width:" + side + "px;height:" + side +
         "px\" src=\"data:image/png;base64," + base64(drawing.correlationPng) + "\">" + marks +
         "</div></div>";
}

// The SDM's design warnings beside its heatmap, one line each, most serious first as found.
std::string warningsPanel(const std::vector<RecordEntry>& warnings) {
  if (warnings.empty()) return "";
  std::string html = "<div class=\"panel warnings\"><div class=\"title\">design warnings</div><ul>";
  for (const RecordEntry& warning : warnings) {
    html += std::string("<li class=\"") + recordSeverityName(warning.severity) + "\" data-code=\"" +
            warning.code + "\"><span class=\"tag\">" + recordSeverityName(warning.severity) +
            "</span> " + htmlText(warning.text) + "</li>";
  }
  return html + "</ul></div>";
}

// The variance inflation factor of each predictor of interest (the first
// kMostInflationsListed); high ones stand out.
std::string inflationList(const DesignDrawing& drawing, const SdmDesign& design) {
  if (drawing.inflationSkipped) {
    return "<div class=\"vif skipped\">VIF not computed: " + std::to_string(design.dataPoints) +
           " data points x " + std::to_string(design.names.size()) +
           " predictors is beyond the VIF's bound (no more predictors than data points, at most " +
           std::to_string(kRankCheckMaxColumns) +
           " predictors and data points x predictors"
           "&sup2; at most " +
           decimalText(kRankCheckMaxWork, 0) + ")</div>";
  }
  const std::vector<double>& inflation = drawing.varianceInflation;
  if (inflation.empty()) return "";
  std::string html = "<div class=\"vif\">VIF: ";
  const std::size_t listed = std::min(inflation.size(), kMostInflationsListed);
  for (std::size_t j = 0; j < listed; ++j) {
    const double vif = inflation[j];
    const std::string value = std::isnan(vif)   ? "&ndash;"
                              : std::isinf(vif) ? "&infin;"
                                                : decimalText(vif, 1);
    html += std::string(j ? ", " : "") + "<span data-predictor=\"" + std::to_string(j + 1) + "\"" +
            (vif > kHighVarianceInflation ? " class=\"high\"" : "") + ">" +
            htmlText(design.names[j]) + " " + value + "</span>";
  }
  if (listed < inflation.size()) {
    html += " and " + std::to_string(inflation.size() - listed) + " more, not listed";
  }
  return html + "</div>";
}

std::string rankText(const RankCheck& rank) {
  if (rank.skipped) return rankCheckSkippedText(rank);
  const std::string grade = std::string("<span class=\"grade\" data-grade=\"") +
                            conditionGrade(rank) + "\">condition grade " + conditionGrade(rank) +
                            "</span>";
  if (!rank.fullRank()) {
    return "rank " + std::to_string(rank.rank) + " of " + std::to_string(rank.columns) +
           ": rank deficient &middot; " + grade;
  }
  bool near = false;
  for (const Dependency& d : rank.dependencies) near |= d.kind == DependencyKind::kNearDependent;
  return "full rank, condition number " + decimalText(rank.conditionNumber, 1) +
         (near ? ": nearly dependent" : "") + " &middot; " + grade;
}

std::string caption(const SdmDesign& design, const std::optional<DesignDrawing>& drawing) {
  const bool incomplete = readIncompletely(design);
  const bool averaged = drawing && drawing->rows < design.dataPoints;
  return "<figcaption><span class=\"file\">" + htmlText(design.path) + "</span><br>" +
         htmlText(design.subject) + " &middot; " + std::to_string(design.dataPoints) +
         " data points" +
         (averaged ? " (averaged to " + std::to_string(drawing->rows) + " rows)" : "") +
         " &middot; " + rankText(design.rank) +
         (incomplete
              ? "<br><span class=\"incomplete\">read incompletely: " +
                    std::to_string(design.notes().valuesRead) + " of " +
                    std::to_string(announcedValues(design)) + " values; the rest read as 0</span>"
              : "") +
         "</figcaption>";
}

std::string figure(const SdmDesign& design, const DesignPictures& pictures,
                   const std::optional<DesignDrawing>& drawing, const std::string& drawnAs,
                   const std::vector<RecordEntry>& warnings) {
  const bool flagged =
      !design.rank.dependencies.empty() || !warnings.empty() || readIncompletely(design);
  std::string html = "<figure class=\"design" + std::string(flagged ? " flagged" : "") +
                     "\" data-file=\"" + htmlText(design.path) + "\">" + caption(design, drawing);
  if (!drawnAs.empty()) {
    return html + "<p class=\"note same\">The same content as " + htmlText(drawnAs) +
           ", drawn above.</p></figure>\n";
  }
  if (!drawing) {
    return html +
           "<p class=\"note\">No pictures: the SDM has no predictor, or could not be "
           "read again as the inspection read it.</p></figure>\n";
  }
  const auto columns = static_cast<std::int64_t>(design.names.size());
  const std::int64_t interest = std::clamp<std::int64_t>(pictures.interestCount, 0, columns);
  html += "<div class=\"panels\">";
  html += panel("predictors of interest", drawing->interestPng, drawing->interestWidth, design, 0,
                interest);
  html +=
      panel("confounds", drawing->confoundPng, drawing->confoundWidth, design, interest, columns);
  html += correlationPanel(*drawing, design);
  html += warningsPanel(warnings);
  return html + "</div>" + inflationList(*drawing, design) + "</figure>\n";
}

}  // namespace

std::string rankCheckSkippedText(const RankCheck& rank) {
  if (rank.columns > kRankCheckMaxColumns) {
    return "rank check skipped: more than " + std::to_string(kRankCheckMaxColumns) + " columns";
  }
  return "rank check skipped: " + std::to_string(rank.rows) + " data points x " +
         std::to_string(rank.columns) + " columns&sup2; is more work than its bound of " +
         decimalText(kRankCheckMaxWork, 0);
}

std::string designsSection(const InspectedStudy& study, const KeptWarnings& warnings) {
  const StudyDesigns& designs = study.designs;
  std::string html = "<section id=\"designs\"><h2>Design matrices</h2>\n";
  const std::size_t read = static_cast<std::size_t>(std::count_if(
      designs.sdms.begin(), designs.sdms.end(), [](const SdmDesign& d) { return d.read; }));
  html +=
      "<p class=\"note\">One column per predictor, time running down; each predictor is "
      "scaled to its own range (black lowest, white highest; all-zero black). A picture holds "
      "at most " +
      std::to_string(kMaxPictureRows) + " rows and " + std::to_string(kMaxPictureColumns) +
      " columns: longer runs are averaged in time, wider designs over neighbouring predictors; "
      "a heatmap holds at most " +
      std::to_string(kMostHeatmapCells) + " cells a side.";
  if (study.pictures.size() < read) {
    html += " Shown: " + std::to_string(study.pictures.size()) + " of the " + std::to_string(read) +
            " SDMs: those with a finding (up to " + std::to_string(kMostFindingPictures) +
            ", the most serious first) and an evenly spaced sample of the others.";
  }
  html += "</p>\n<div class=\"designs\">\n";
  std::map<std::pair<std::string, std::uint64_t>, std::string> drawn;  // content: first path
  std::size_t figureBytes = 0;
  std::size_t leftOut = 0;
  const std::vector<RecordEntry> none;
  for (const DesignPictures& pictures : study.pictures) {
    const SdmDesign& design = designs.sdms[pictures.study];
    const auto kept = warnings.find(std::string(design.path));
    const std::vector<RecordEntry>& shownWarnings = kept == warnings.end() ? none : kept->second;
    const std::pair<std::string, std::uint64_t> content(pictures.path, pictures.fingerprint);
    const auto earlier = drawn.find(content);
    std::string text;
    if (earlier != drawn.end()) {
      text = figure(design, pictures, std::nullopt, earlier->second, shownWarnings);
    } else if (figureBytes >= kMostFigureBytes) {
      ++leftOut;
      continue;
    } else {
      text = figure(design, pictures, drawDesignAgain(pictures), "", shownWarnings);
      drawn.emplace(content, design.path);
    }
    figureBytes += text.size();
    html += text;
  }
  html += "</div>\n";
  if (leftOut > 0) {
    html += "<p class=\"note incomplete\" id=\"figures-left-out\">" + std::to_string(leftOut) +
            " more SDMs chosen for pictures are not drawn: the pictures reached the report's "
            "bound of " +
            std::to_string(kMostFigureBytes >> 20) + " MiB.</p>\n";
  }
  return html + "</section>\n";
}

}  // namespace kelvora::report
