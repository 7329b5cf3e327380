#include "sdm_design_maker.h"

#include <functional>
#include <stdexcept>
#include <utility>

#include "design_drawing.h"
#include "design_rank.h"

namespace kelvora::report {
void SdmDesignMaker::make(std::size_t study, const SdmFile& sdm) {
  SdmDesign design;
  std::optional<DesignPictures> source;
  diagnostics::summarizeSdm(sdm, design, nameLists, zeroSets);
  if (design.read) {
    const std::uint64_t fingerprint = fingerprintOf(sdm);
    const std::pair<std::uint64_t, std::uint64_t> key(std::hash<std::string>{}(sdm.path),
                                                      fingerprint);
    std::optional<RankCheck> known;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      const auto found = checked.find(key);
      if (found != checked.end()) known = found->second;
    }
    design.rank = known ? std::move(*known) : checkRank(sdm);
    if (withPictures) {
      source = DesignPictures{study, sdm.path, fingerprint,
                              static_cast<std::int64_t>(sdm.values.size()), design.interestCount};
    }
    if (!known) {
      const std::lock_guard<std::mutex> lock(mutex);
      checked.emplace(key, design.rank);  // shares the design's dependencies
    }
  }
  const std::lock_guard<std::mutex> lock(mutex);
  designs[study] = std::move(design);
  if (source) {
    pictures[study] = std::move(*source);
  } else {
    pictures.erase(study);
  }
}

SdmValuesVisitor SdmDesignMaker::visitor() {
  return [this](std::size_t study, const SdmFile& sdm) { make(study, sdm); };
}

bool SdmDesignMaker::made(std::size_t study) const {
  const std::lock_guard<std::mutex> lock(mutex);
  return designs.count(study) > 0;
}

SdmDesign SdmDesignMaker::takeDesign(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  auto node = designs.extract(study);
  if (node.empty()) throw std::out_of_range("no design made for this study");
  return std::move(node.mapped());
}

std::optional<DesignPictures> SdmDesignMaker::takePictures(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  auto node = pictures.extract(study);
  if (node.empty()) return std::nullopt;
  return std::move(node.mapped());
}

}  // namespace kelvora::report
