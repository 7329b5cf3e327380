// What kelvora checks before it lets an answer to the path repair stand. The run re-bases every
// path of the MDM on the file located for its missing first SDM: a file of another study (sub-02's
// for sub-01's) pairs one subject's functional data with another's designs, and a wrong folder
// leaves paths that lead nowhere. A corrected MDM saved so opens without a word, and is never
// offered a repair again. So the located file must have the missing file's name (or the user must
// insist), and the corrected MDM is saved only when every SDM it lists opens.
//
// Called by the command-line dialogs during a run; nothing here logs, prints or throws on purpose.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "designmatrix/mdm_file.h"

namespace kelvora::inspector {

// True when the file names (fileNameOf) of the two paths are equal, ASCII letters compared without
// regard to case on every system: Windows and its file shares do not tell such names apart, and a
// copy that changed a name's case still holds the same study. A re-based path that such a change
// leads astray is caught by the check of the corrected MDM below.
bool sameFileName(const std::string& missingPath, const std::string& chosenPath);

// The MDM at `path`, read again for these checks; nothing when it does not open as a regular
// file. Its own failure line is thus never logged into the run's log (the file would have to
// vanish between the check and the read).
std::optional<MdmFile> readMdmForChecks(const std::string& path);

// The SDM paths of `mdm` (as read, before any repair), once re-based on `locatedSdm` exactly as
// the run's repair re-bases them, that do not open as regular files (relative ones in the current
// folder), in study order; empty when every one opens. Opens each path once and reads nothing.
// Cost: one open per study, memory for one copy of the MDM's paths.
std::vector<std::string> correctedSdmsThatDoNotOpen(MdmFile mdm, const std::string& locatedSdm);

}  // namespace kelvora::inspector
