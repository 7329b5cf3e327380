// The path repair replayed without a person: the study paths of an MDM re-based on a first SDM
// that a run's repair was already given. Used after a run, by whoever must see the study as the
// run saw it (the designs of a report, the check of a corrected MDM's paths); the run itself asks
// through its dialogs.
#pragma once

#include <string>

#include "designmatrix/mdm_file.h"

namespace kelvora {

// relocateStudyPaths, with `locatedFirstSdm` as the answer to its one file dialog. True when the
// paths were re-based; false, with nothing changed, when the path is too short to re-base on.
bool relocateStudyPathsOn(MdmFile& mdm, const std::string& locatedFirstSdm);

}  // namespace kelvora
