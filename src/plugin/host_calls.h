// Typed calls of the seven host functions that the plug-in uses, through the host function
// table. A function that the host does not provide is never called; each wrapper gives its
// documented fallback instead, so no other code tests an entry for null.
#pragma once

namespace kelvora {

// Size of the result buffer of the host's file dialogs, NUL included.
inline constexpr int kDialogBufferSize = 512;

// False, leaving the three integers as they were, when the host lacks the function.
bool hostGetVersion(int& major, int& minor, int& patch);
// Skipped when missing.
void hostShowLogTab();
// Dropped when missing. Suits the log's sink.
void hostLogText(const char* text);
// Skipped when missing.
void hostMessageBox(const char* text);
// The host's answer; 0 ("no") when missing.
int hostYesNoMessageBox(const char* question);
// The host's result; 0 (cancelled), with the buffer untouched, when missing. `buffer` holds
// kDialogBufferSize bytes.
int hostGetOpenFileName(const char* title, const char* initialDirectory, const char* filter,
                        char* buffer);
int hostGetSaveFileName(const char* title, const char* initialDirectory, const char* filter,
                        char* buffer);

}  // namespace kelvora
