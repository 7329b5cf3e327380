// The host functions that the stand-in host exports to the plug-in: the seven that the plug-in
// calls, answering from the scripted state and recording each call, and the other 183 as stubs
// that record an unexpected call. Which of them are exported depends on the build variant.
#include "plugin/host_functions.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "host_state.h"

#if defined(_WIN32)
#define HOST_EXPORT extern "C" __declspec(dllexport)
#else
#define HOST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace standin {
namespace {

constexpr std::size_t kDialogBufferSize = 512;

Transcript::Event callEvent(const char* function) {
  Transcript::Event event = Transcript::event("call");
  event["fn"] = function;
  return event;
}

template <typename Answer>
Answer takeAnswer(std::deque<Answer>& queue) {
  if (queue.empty()) return Answer{};
  Answer answer = queue.front();
  queue.pop_front();
  return answer;
}

[[maybe_unused]] int fileDialog(const char* function, std::deque<DialogAnswer>& answers,
                                const char* title, const char* initialDirectory, const char* filter,
                                char* buffer) {
  const DialogAnswer answer = takeAnswer(answers);
  if (answer.writesText) {
    const std::size_t length = std::min(answer.text.size(), kDialogBufferSize);
    std::memcpy(buffer, answer.text.data(), length);
    if (length < kDialogBufferSize) buffer[length] = '\0';
  }
  const std::size_t bufferText = strnlen(buffer, kDialogBufferSize);
  Transcript::Event event = callEvent(function);
  event["title"] = Transcript::bytes(title);
  event["dir"] = Transcript::bytes(initialDirectory);
  event["filter"] = Transcript::bytes(filter);
  event["result"] = answer.result;
  event["path"] = Transcript::bytes(std::string(buffer, bufferText));
  hostState().transcript.write(event);
  return answer.result;
}

}  // namespace

HostState& hostState() {
  static HostState state;
  return state;
}

}  // namespace standin

using standin::hostState;
using standin::Transcript;

#if KELVORA_HOST_EXPORTS_VERSION
HOST_EXPORT void hvGetVersionOfHalvaneZR(int* major, int* minor, int* patch) {
  hostState().transcript.write(standin::callEvent("hvGetVersionOfHalvaneZR"));
  *major = hostState().versionMajor;
  *minor = hostState().versionMinor;
  *patch = hostState().versionPatch;
}
#endif

#if KELVORA_HOST_EXPORTS_OTHERS
HOST_EXPORT void hvShowLogTab() {
  hostState().transcript.write(standin::callEvent("hvShowLogTab"));
}

HOST_EXPORT void hvLogText(const char* text) {
  Transcript::Event event = standin::callEvent("hvLogText");
  event["text"] = Transcript::bytes(text);
  hostState().transcript.write(event);
}

HOST_EXPORT void hvMessageBox(const char* text) {
  Transcript::Event event = standin::callEvent("hvMessageBox");
  event["text"] = Transcript::bytes(text);
  hostState().transcript.write(event);
}

HOST_EXPORT int hvYesNoMessageBox(const char* question) {
  const int answer = standin::takeAnswer(hostState().yesNoAnswers);
  Transcript::Event event = standin::callEvent("hvYesNoMessageBox");
  event["text"] = Transcript::bytes(question);
  event["result"] = answer;
  hostState().transcript.write(event);
  return answer;
}

HOST_EXPORT int hvGetOpenFileName(const char* title, const char* initialDirectory,
                                  const char* filter, char* buffer) {
  return standin::fileDialog("hvGetOpenFileName", hostState().openAnswers, title, initialDirectory,
                             filter, buffer);
}

HOST_EXPORT int hvGetSaveFileName(const char* title, const char* initialDirectory,
                                  const char* filter, char* buffer) {
  return standin::fileDialog("hvGetSaveFileName", hostState().saveAnswers, title, initialDirectory,
                             filter, buffer);
}

// The functions a plug-in of this kind never calls: a call is recorded as unexpected.
#define STANDIN_IMPLEMENTED(name)
#define STANDIN_STUB(name)                               \
  HOST_EXPORT void name() {                              \
    Transcript::Event event = standin::callEvent(#name); \
    event["unexpected"] = true;                          \
    hostState().transcript.write(event);                 \
  }
KELVORA_HOST_FUNCTIONS(STANDIN_IMPLEMENTED, STANDIN_STUB)
#endif
