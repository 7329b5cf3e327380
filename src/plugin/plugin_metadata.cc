// The metadata exports: constant texts that live as long as the library, the same pointer on
// every call, callable at any time.
#include "kelvora_version.h"
#include "log/plugin_name.h"
#include "plugin/plugin_interface.h"

namespace {

constexpr char kDescription[] =
    "Checks your design matrix files for inconsitencies when used in a Multi Subject GLM";
constexpr char kAuthor[] = "<i>RT</i>";
constexpr char kHelpFile[] = "HelpFolder/index.html";
constexpr char kGuiScript[] = "";

}  // namespace

const char* getPluginName() { return kelvora::kPluginName; }
const char* getPluginDescription() { return kDescription; }
const char* getPluginVersion() { return kelvora::kPluginVersion; }
const char* getAuthor() { return kAuthor; }
const char* getHelpFile() { return kHelpFile; }
const char* getGUIScript() { return kGuiScript; }
