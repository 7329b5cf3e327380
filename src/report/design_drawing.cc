#include "report/design_drawing.h"

#include <algorithm>
#include <cstring>

#include "analysis/design_correlation.h"
#include "inspection/sdm_predictors.h"
#include "report/design_picture.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
DesignDrawing drawDesign(const SdmFile& sdm, std::int64_t interestCount) {
  const auto columns = static_cast<std::int64_t>(sdm.values.size());
  const std::int64_t interest = std::clamp<std::int64_t>(interestCount, 0, columns);
  DesignDrawing drawing;
  const GreyPicture interestPicture = designPicture(sdm, 0, interest);
  const GreyPicture confoundPicture = designPicture(sdm, interest, columns);
  drawing.interestPng = encodePng(interestPicture);
  drawing.confoundPng = encodePng(confoundPicture);
  drawing.interestWidth = interestPicture.width;
  drawing.confoundWidth = confoundPicture.width;
  drawing.rows = std::max(interestPicture.height, confoundPicture.height);
  const DesignCorrelation correlation = correlateDesign(sdm, interest);
  drawing.correlationPng = heatmapPng(correlation);
  drawing.correlationSide = correlation.side;
  drawing.varianceInflation = correlation.varianceInflation;
  drawing.inflationSkipped = correlation.inflationSkipped;
  return drawing;
}

std::optional<DesignDrawing> drawDesignAgain(const DesignPictures& source) {
  if (source.columns <= 0) return std::nullopt;
  const SdmFile sdm = readSdmSilently(source.path);
  if (sdm.unreadable() || fingerprintOf(sdm) != source.fingerprint) return std::nullopt;
  return drawDesign(sdm, source.interestCount);
}

}  // namespace kelvora::report
