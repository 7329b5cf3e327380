#include "design_drawing.h"

#include <algorithm>
#include <cstring>

#include "design_correlation.h"
#include "design_picture.h"
#include "inspection/sdm_predictors.h"

namespace kelvora::report {
namespace {

class Fnv1a {
 public:
  void add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ULL;
  }
  template <typename T>
  void add(const T& value) {
    add(&value, sizeof value);
  }
  std::uint64_t value() const { return hash; }

 private:
  std::uint64_t hash = 0xcbf29ce484222325ULL;
};

}  // namespace

std::uint64_t fingerprintOf(const SdmFile& sdm) {
  Fnv1a hash;
  for (const std::int32_t field :
       {sdm.nrOfPredictors, sdm.nrOfDataPoints, sdm.includesConstant, sdm.firstConfoundPredictor}) {
    hash.add(field);
  }
  // The names as read or as shared by the run: the same fingerprint either way.
  for (std::size_t i = 0; i < nameCountOf(sdm); ++i) {
    const std::string_view name = predictorNameAt(sdm, static_cast<std::int64_t>(i));
    hash.add(name.size());
    hash.add(name.data(), name.size());
  }
  for (const std::vector<float>& column : sdm.values) {
    hash.add(column.size());
    hash.add(column.data(), column.size() * sizeof(float));
  }
  return hash.value();
}

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
