// The repair of a run whose first SDM cannot be opened: the user locates that file, every study
// path of the MDM is re-based on the answer (MdmFile::relocateStudyPaths), the first SDM is read
// again, and the corrected MDM may be saved. It runs at most once per run, for the first study
// only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "designmatrix/sdm_file.h"
#include "designmatrix/user_dialogs.h"

namespace kelvora {

enum class RepairEnd {
  kRepaired,         // the first SDM was read from the corrected path; the run goes on
  kNotRelocated,     // locating was cancelled, or the chosen path was shorter than the file name
  kStillUnreadable,  // the corrected first SDM cannot be opened either
  kTooLarge,         // the corrected first SDM is too large to read; the caller reports it
  kSaveCancelled,    // the user agreed to save, then cancelled the save dialog
};

struct RepairResult {
  RepairEnd end = RepairEnd::kNotRelocated;
  bool saveFailed = false;  // saveAs returned false (the writer has logged it); still kRepaired
  bool saved = false;       // the corrected MDM was written to the MDM's new `path`

  bool repaired() const { return end == RepairEnd::kRepaired; }
};

// Logs "Kelvora>  Asking user to select correct path", shows the not-found message, relocates,
// reads the first SDM again into sdmList[0] (which must exist) and asks about saving. Logs
// "Kelvora>  Error Reading " and the corrected path after the reader's own line when the first SDM
// is still unreadable. Whatever the end, the paths stay re-based once relocated. Never throws on
// purpose.
RepairResult repairFirstSdm(MdmFile& mdm, std::vector<SdmFile>& sdmList, UserDialogs& dialogs);

// How many characters at the end of `a` and `b` are equal, comparing backwards byte by byte and
// case-sensitively, with '/' and '\' counting as equal: both separate folders, and an MDM written
// on one system may meet a dialog that answers with the other separator.
std::size_t commonTailLength(std::string_view a, std::string_view b);

}  // namespace kelvora
