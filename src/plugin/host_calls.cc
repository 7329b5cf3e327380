#include "plugin/host_calls.h"

#include "plugin/host_function_table.h"

namespace kelvora {
namespace {

using VersionFunction = void (*)(int*, int*, int*);
using NoArgumentFunction = void (*)();
using TextFunction = void (*)(const char*);
using QuestionFunction = int (*)(const char*);
using FileDialogFunction = int (*)(const char*, const char*, const char*, char*);

template <typename Function>
Function typed(HostProc entry) {
  return reinterpret_cast<Function>(entry);
}

}  // namespace

bool hostGetVersion(int& major, int& minor, int& patch) {
  const HostProc entry = hostFunctionTable.hvGetVersionOfHalvaneZR;
  if (entry == nullptr) return false;
  typed<VersionFunction>(entry)(&major, &minor, &patch);
  return true;
}

void hostShowLogTab() {
  if (const HostProc entry = hostFunctionTable.hvShowLogTab) typed<NoArgumentFunction>(entry)();
}

void hostLogText(const char* text) {
  if (const HostProc entry = hostFunctionTable.hvLogText) typed<TextFunction>(entry)(text);
}

void hostMessageBox(const char* text) {
  if (const HostProc entry = hostFunctionTable.hvMessageBox) typed<TextFunction>(entry)(text);
}

int hostYesNoMessageBox(const char* question) {
  const HostProc entry = hostFunctionTable.hvYesNoMessageBox;
  return entry == nullptr ? 0 : typed<QuestionFunction>(entry)(question);
}

int hostGetOpenFileName(const char* title, const char* initialDirectory, const char* filter,
                        char* buffer) {
  const HostProc entry = hostFunctionTable.hvGetOpenFileName;
  if (entry == nullptr) return 0;
  return typed<FileDialogFunction>(entry)(title, initialDirectory, filter, buffer);
}

int hostGetSaveFileName(const char* title, const char* initialDirectory, const char* filter,
                        char* buffer) {
  const HostProc entry = hostFunctionTable.hvGetSaveFileName;
  if (entry == nullptr) return 0;
  return typed<FileDialogFunction>(entry)(title, initialDirectory, filter, buffer);
}

}  // namespace kelvora
