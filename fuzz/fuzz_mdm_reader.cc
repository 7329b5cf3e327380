// Fuzz target: the MDM reader on arbitrary bytes, and the writer behind it. Properties checked:
// the study lists stay parallel and never longer than announced; and an MDM that names its type
// of functional data, once written and read again, has the same header values and study paths
// (the writer's layout is the reader's grammar). The log goes nowhere.
#include <cstddef>
#include <cstdint>

#include "designmatrix/mdm_file.h"
#include "fuzz_support.h"
#include "log/plugin_log.h"

namespace {

using kelvora::MdmFile;
using kelvora::fuzz::require;

bool sameContents(const MdmFile& written, const MdmFile& read) {
  return written.fileVersion == read.fileVersion &&
         written.typeOfFunctionalData == read.typeOfFunctionalData &&
         written.rfxGlm == read.rfxGlm && written.pscTransformation == read.pscTransformation &&
         written.zTransformation == read.zTransformation &&
         written.separatePredictors == read.separatePredictors &&
         static_cast<std::size_t>(read.nrOfStudies) == written.sdmPaths.size() &&
         written.extraPaths == read.extraPaths && written.functionalPaths == read.functionalPaths &&
         written.sdmPaths == read.sdmPaths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvora::fuzz::ScratchFolder& scratch = kelvora::fuzz::scratchFolder();
  MdmFile mdm(scratch.write("input.mdm", kelvora::fuzz::bytesOf(data, size)));

  const std::size_t studies = mdm.sdmPaths.size();
  require(mdm.functionalPaths.size() == studies, "one functional path per study");
  require(mdm.extraPaths.size() == (mdm.isMtcDesign() ? studies : 0),
          "one extra path entry per study in an MTC design, none otherwise");
  require(studies <= static_cast<std::size_t>(mdm.nrOfStudies < 0 ? 0 : mdm.nrOfStudies),
          "no more studies than announced");

  // Without a type, the written "TypeOfFunctionalData:" line has no value and the reader takes
  // the next word for it: the format cannot express an empty type.
  if (mdm.typeOfFunctionalData.empty()) return 0;
  require(mdm.saveAs("written.mdm"), "an MDM can be written into the scratch folder");
  const MdmFile again("written.mdm");
  require(sameContents(mdm, again), "a written MDM reads back the same");
  return 0;
}
