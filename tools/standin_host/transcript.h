// The stand-in host's transcript: one JSON object per line on standard output, in the order
// things happen. Strings carry the exact bytes, each byte one code point (Latin-1).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace standin {

class Transcript {
 public:
  using Event = nlohmann::ordered_json;

  // An event object with "event" set, to be completed and then written.
  static Event event(const char* name);
  // A JSON string holding `bytes`, one code point per byte.
  static nlohmann::ordered_json bytes(const std::string& bytes);

  void write(const Event& event);
};

}  // namespace standin
