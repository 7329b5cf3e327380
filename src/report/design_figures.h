// The "Design matrices" section of the HTML report: one figure per SDM shown, with its pictures
// (predictors of interest, confounds), its correlation heatmap and the VIF of its predictors of
// interest, drawn here (design_drawing.h) by reading each shown SDM again.
//
// Bounds, stated in the section's note: a picture holds at most kMaxPictureRows x
// kMaxPictureColumns pixels and a heatmap kMostHeatmapCells a side; a figure lists at most
// kMostInflationsListed VIF; an SDM whose content was drawn for an earlier figure is not drawn
// again; once the figures hold kMostFigureBytes of HTML, the SDMs left are not drawn and the
// section says how many. So the section costs at most the reading and drawing of the SDMs shown,
// and about kMostFigureBytes of HTML, whatever the study.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "analysis/design_rank.h"
#include "analysis/finding_record.h"
#include "report/html_report.h"

namespace kelvora::report {

inline constexpr std::size_t kMostFigureBytes = 16u << 20;
inline constexpr std::size_t kMostInflationsListed = 200;

// "rank check skipped: " and why (too many columns, or above the work budget).
std::string rankCheckSkippedText(const analysis::RankCheck& rank);

// The design warnings the record of all findings keeps after the lab's config, by SDM path, in the
// record's order: each figure's warnings panel shows these, not the SDM's own list.
using KeptWarnings = std::map<std::string, std::vector<analysis::RecordEntry>>;

// The section, HTML. Never throws except std::bad_alloc.
std::string designsSection(const InspectedStudy& study, const KeptWarnings& warnings);

}  // namespace kelvora::report
