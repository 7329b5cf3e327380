#include "designmatrix/sdm_path_repair.h"

#include "designmatrix/path_names.h"
#include "log/plugin_log.h"
#include "log/plugin_name.h"

namespace kelvora {

RepairResult repairFirstSdm(MdmFile& mdm, std::vector<SdmFile>& sdmList, UserDialogs& dialogs) {
  RepairResult result;
  pluginLog << kPluginName << ">  Asking user to select correct path" << std::flush;
  dialogs.showMessage(
      "The first SDM from the MDM file was not found.\n"
      "If you select it manually the plugin will try to correct the path!");
  if (!mdm.relocateStudyPaths(dialogs)) return result;

  if (sdmList.empty()) sdmList.emplace_back();
  sdmList[0] = readSdm(std::string(mdm.sdmPaths[0]));
  if (sdmList[0].tooLargeToRead) {
    result.end = RepairEnd::kTooLarge;
    return result;
  }
  if (sdmList[0].unreadable()) {
    pluginLog << kPluginName << ">  Error Reading " << mdm.sdmPaths[0] << std::flush;
    result.end = RepairEnd::kStillUnreadable;
    return result;
  }

  result.end = RepairEnd::kRepaired;
  if (!dialogs.askYesNo("Would you like to Save the MDM file with corrected path information?")) {
    return result;  // the corrected paths live on for this run only
  }
  const FileDialogAnswer answer = dialogs.chooseFileToSave(
      "Select a filename for saving", directoryOf(mdm.path), "Multi Subject Design Matrix (*.mdm)");
  if (!answer.chosen) {
    result.end = RepairEnd::kSaveCancelled;
    return result;
  }
  // A file that cannot be written has been logged by the writer; the run goes on regardless.
  result.saved = mdm.saveAs(answer.path);
  result.saveFailed = !result.saved;
  return result;
}

}  // namespace kelvora
