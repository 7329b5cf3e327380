// A glance at the first bytes of a file given as MDM_FILE, before its run: whether it is an MDM at
// all (a common slip is naming one of its SDMs), and which separator its study paths use. Reads
// at most kGlanceBytes bytes of a regular file (never a pipe or a device, so it cannot block);
// touches nothing else and never throws. The run still reads the MDM in full, as the plug-in does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvora::inspector {

// Enough for any MDM's header and first study line: the readers' header is seven short keys.
inline constexpr std::size_t kGlanceBytes = 64 * 1024;

enum class GivenFileKind {
  kUnopened,  // missing, a folder, a pipe, a device: the run says what it says of such a file
  kMdm,       // its first bytes hold the MDM key NrOfStudies:
  kSdm,       // no NrOfStudies:, but an SDM's keys NrOfPredictors: or FirstConfoundPredictor:
  kOther,     // neither: the run will find no studies in it
};

struct MdmFileGlance {
  GivenFileKind kind = GivenFileKind::kUnopened;
  // kMdm: the separator of the first study's SDM path, '/' or '\\' when it uses only that one;
  // '\0' when it uses none or both.
  char studyPathSeparator = '\0';
};

// What `bytes`, the start of a file, show (the part of glanceAtMdmFile that reads no file).
MdmFileGlance glanceAtBytes(std::string_view bytes);

// Reads the first kGlanceBytes of `path` and glances at them.
MdmFileGlance glanceAtMdmFile(const std::string& path);

}  // namespace kelvora::inspector
