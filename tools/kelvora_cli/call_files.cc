#include "call_files.h"

#include <utility>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "files/native_file.h"
#include "files/relative_paths.h"
#include "inspector/user_paths.h"

namespace kelvora::cli {

using namespace inspector;

namespace {

enum class Role { kMdm, kSdm, kFunctional, kLocate, kFindings, kSaveMdm, kReport };

struct CallFile {
  Role role;
  std::string path;
  std::string mdm;  // the MDM_FILE it belongs to (kSdm, kFunctional, kFindings)
  FileKey key;
};

bool isOutput(const CallFile& file) { return file.role >= Role::kFindings; }

// What the file is, as the second half of a clash's line.
std::string description(const CallFile& file) {
  switch (file.role) {
    case Role::kMdm:
      return "the MDM_FILE";
    case Role::kSdm:
      return "an SDM listed by " + file.mdm;
    case Role::kFunctional:
      return "a functional data file listed by " + file.mdm;
    case Role::kLocate:
      return "the --locate file";
    case Role::kFindings:
      return "the findings file of " + file.mdm;
    case Role::kSaveMdm:
      return "the --save-mdm file";
    case Role::kReport:
      return "the --report file";
  }
  return std::string();
}

// The output as the subject of a clash's line.
std::string subject(const CallFile& output) {
  switch (output.role) {
    case Role::kSaveMdm:
      return "--save-mdm " + output.path;
    case Role::kReport:
      return "--report " + output.path;
    default:
      return "the findings file " + output.path + " of " + output.mdm;
  }
}

std::string clashLine(const CallFile& output, const CallFile& other) {
  if (output.role == Role::kFindings && other.role == Role::kFindings) {
    return "two MDM_FILEs would both write " + output.path;
  }
  return subject(output) + (isOutput(other) ? " would also be " : " would replace ") +
         description(other);
}

// The MDM_FILE's inputs: itself, its SDMs and its functional data files, keyed in its folder as
// its run resolves them.
void addMdmInputs(const std::string& mdmFile, std::vector<CallFile>& files) {
  files.push_back({Role::kMdm, mdmFile, mdmFile, fileKeyOf(mdmFile)});
  const MdmFile mdm(mdmFile);
  const RelativePathFolder mdmFolder(folderOf(mdmFile));
  for (const auto& [role, paths] :
       {std::pair{Role::kSdm, &mdm.sdmPaths}, std::pair{Role::kFunctional, &mdm.functionalPaths}}) {
    for (const std::string_view listed : *paths) {
      const std::string path(listed);
      files.push_back({role, path, mdmFile, fileKeyOf(path)});
    }
  }
}

}  // namespace

std::optional<std::string> findFileClash(const CliOptions& options,
                                         const FindingsFileRule& findingsFile) {
  std::vector<CallFile> files;
  for (const std::string& mdmFile : options.mdmFiles) addMdmInputs(mdmFile, files);
  if (options.locate)
    files.push_back({Role::kLocate, *options.locate, "", fileKeyOf(*options.locate)});
  const std::size_t inputCount = files.size();
  for (const std::string& mdmFile : options.mdmFiles) {
    if (const std::optional<std::string> findings = findingsFile(mdmFile)) {
      files.push_back({Role::kFindings, *findings, mdmFile, fileKeyOf(*findings)});
    }
  }
  if (options.saveMdm)
    files.push_back({Role::kSaveMdm, *options.saveMdm, "", fileKeyOf(*options.saveMdm)});
  if (options.report)
    files.push_back({Role::kReport, *options.report, "", fileKeyOf(*options.report)});

  // Each output against every input and every output before it: a few outputs, so the cost is
  // a few passes over the inputs.
  for (std::size_t out = inputCount; out < files.size(); ++out) {
    const CallFile& output = files[out];
    for (std::size_t other = 0; other < out; ++other) {
      const bool replacesMdmByRequest =
          output.role == Role::kSaveMdm && files[other].role == Role::kMdm;
      if (files[other].key == output.key && !replacesMdmByRequest) {
        return clashLine(output, files[other]);
      }
    }
  }
  return std::nullopt;
}

}  // namespace kelvora::cli
