#include "sdm_design_maker.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "design_correlation.h"
#include "design_picture.h"
#include "design_rank.h"

namespace kelvora::report {
namespace {

DesignPictures picturesOf(std::size_t study, const SdmFile& sdm, std::int64_t interestCount) {
  const auto columns = static_cast<std::int64_t>(sdm.values.size());
  const std::int64_t interest = std::clamp<std::int64_t>(interestCount, 0, columns);
  DesignPictures pictures;
  pictures.study = study;
  const GreyPicture interestPicture = designPicture(sdm, 0, interest);
  const GreyPicture confoundPicture = designPicture(sdm, interest, columns);
  pictures.interestPng = encodePng(interestPicture);
  pictures.confoundPng = encodePng(confoundPicture);
  pictures.rows = std::max(interestPicture.height, confoundPicture.height);
  const DesignCorrelation correlation = correlateDesign(sdm, interest);
  pictures.correlationPng = heatmapPng(correlation);
  pictures.varianceInflation = correlation.varianceInflation;
  return pictures;
}

}  // namespace

void SdmDesignMaker::make(std::size_t study, const SdmFile& sdm) {
  Made made;
  diagnostics::summarizeSdm(sdm, made.design, nameLists);
  if (made.design.read) {
    made.design.rank = checkRank(sdm);
    if (withPictures) made.pictures = picturesOf(study, sdm, made.design.interestCount);
  }
  const std::lock_guard<std::mutex> lock(mutex);
  byStudy[study] = std::move(made);
}

SdmValuesVisitor SdmDesignMaker::visitor() {
  return [this](std::size_t study, const SdmFile& sdm) { make(study, sdm); };
}

bool SdmDesignMaker::made(std::size_t study) const {
  const std::lock_guard<std::mutex> lock(mutex);
  return byStudy.count(study) > 0;
}

SdmDesign SdmDesignMaker::takeDesign(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  return std::move(byStudy.at(study).design);
}

std::optional<DesignPictures> SdmDesignMaker::takePictures(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  const auto found = byStudy.find(study);
  if (found == byStudy.end()) return std::nullopt;
  return std::move(found->second.pictures);
}

}  // namespace kelvora::report
