#include "host_options.h"

#include <charconv>
#include <cstring>
#include <system_error>

namespace standin {
namespace {

bool parseInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

// "X.Y.Z", each a signed decimal integer.
bool parseVersion(const std::string& text, HostState& state) {
  const std::size_t first = text.find('.');
  const std::size_t second = first == std::string::npos ? first : text.find('.', first + 1);
  if (second == std::string::npos) return false;
  return parseInt(text.substr(0, first), state.versionMajor) &&
         parseInt(text.substr(first + 1, second - first - 1), state.versionMinor) &&
         parseInt(text.substr(second + 1), state.versionPatch);
}

DialogAnswer chosen(const std::string& text) { return DialogAnswer{1, true, text.substr(0, 511)}; }

}  // namespace

bool parseHostOptions(int argc, char** argv, HostOptions& options, HostState& state,
                      std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const int remaining = argc - i - 1;
    auto needs = [&](int count) {
      if (remaining >= count) return true;
      error = option + " needs " + std::to_string(count) + " argument(s)";
      return false;
    };
    int number = 0;
    if (option == "--version") {
      if (!needs(1) || !parseVersion(argv[++i], state)) return error = "bad --version", false;
    } else if (option == "--open") {
      if (!needs(1)) return false;
      state.openAnswers.push_back(chosen(argv[++i]));
    } else if (option == "--cancel-open") {
      state.openAnswers.push_back(DialogAnswer{});
    } else if (option == "--save") {
      if (!needs(1)) return false;
      state.saveAnswers.push_back(chosen(argv[++i]));
    } else if (option == "--cancel-save") {
      state.saveAnswers.push_back(DialogAnswer{});
    } else if (option == "--open-result" || option == "--save-result") {
      if (!needs(2) || !parseInt(argv[i + 1], number)) return error = "bad " + option, false;
      auto& queue = option == "--open-result" ? state.openAnswers : state.saveAnswers;
      queue.push_back(DialogAnswer{number, true, argv[i + 2]});
      i += 2;
    } else if (option == "--yesno") {
      if (!needs(1) || !parseInt(argv[++i], number)) return error = "bad --yesno", false;
      state.yesNoAnswers.push_back(number);
    } else if (option == "--runs" || option == "--objects" || option == "--load-cycles") {
      if (!needs(1) || !parseInt(argv[++i], number) || number < 0) {
        return error = "bad " + option, false;
      }
      (option == "--runs" ? options.runs : option == "--objects" ? options.objects
                                                                 : options.loadCycles) = number;
      options.countResources = options.countResources || option == "--load-cycles";
    } else if (option == "--no-init") {
      options.initPlugin = false;
    } else if (option == "--also-load") {
      if (!needs(1)) return false;
      options.sideModule = argv[++i];
    } else if (option == "--comma-locale") {
      options.commaLocale = true;
    } else if (option.rfind("--", 0) == 0 || !options.pluginLibrary.empty()) {
      error = "unexpected argument " + option;
      return false;
    } else {
      options.pluginLibrary = option;
    }
  }
  if (options.pluginLibrary.empty()) error = "no PLUGIN_LIBRARY given";
  return error.empty();
}

}  // namespace standin
