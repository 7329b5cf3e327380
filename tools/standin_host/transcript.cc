#include "transcript.h"

#include <cstdio>

namespace standin {

Transcript::Event Transcript::event(const char* name) {
  Event object;
  object["event"] = name;
  return object;
}

nlohmann::ordered_json Transcript::bytes(const std::string& bytes) {
  std::string utf8;
  utf8.reserve(bytes.size() * 2);
  for (const unsigned char byte : bytes) {
    if (byte < 0x80) {
      utf8 += static_cast<char>(byte);
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

void Transcript::write(const Event& event) {
  const std::string line = event.dump(-1, ' ', true) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace standin
