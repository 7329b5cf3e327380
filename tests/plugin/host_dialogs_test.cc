#include "plugin/host_dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/host_function_table.h"

namespace kelvora {
namespace {

int fillsWholeBuffer(const char*, const char*, const char*, char* buffer) {
  std::memset(buffer, 'x', 512);
  return 1;
}
int cancelsLeavingText(const char*, const char*, const char*, char* buffer) {
  std::strcpy(buffer, "D:/left/over.mdm");
  return 0;
}
int answersMinusOne(const char*) { return -1; }
int answersOne(const char*) { return 1; }

template <typename Function>
HostProc entry(Function function) {
  return reinterpret_cast<HostProc>(function);
}

class HostDialogsTest : public ::testing::Test {
 protected:
  ~HostDialogsTest() override { hostFunctionTable = HostFunctionTable{}; }
  HostDialogs dialogs;
};

TEST_F(HostDialogsTest, FullBufferIsReadUpToItsLastByteOnly) {
  hostFunctionTable.hvGetOpenFileName = entry(&fillsWholeBuffer);
  const FileDialogAnswer answer = dialogs.chooseFileToOpen("t", "", "f");
  EXPECT_TRUE(answer.chosen);
  EXPECT_EQ(answer.path, std::string(511, 'x'));
}

TEST_F(HostDialogsTest, TextIsReadWhateverTheResult) {
  hostFunctionTable.hvGetSaveFileName = entry(&cancelsLeavingText);
  const FileDialogAnswer answer = dialogs.chooseFileToSave("t", "", "f");
  EXPECT_FALSE(answer.chosen);
  EXPECT_EQ(answer.path, "D:/left/over.mdm");
}

TEST_F(HostDialogsTest, MissingFunctionsActAsCancelNoAndSkip) {
  const FileDialogAnswer answer = dialogs.chooseFileToOpen("t", "", "f");
  EXPECT_FALSE(answer.chosen);
  EXPECT_EQ(answer.path, "");
  EXPECT_FALSE(dialogs.askYesNo("Save?"));
  dialogs.showMessage("nobody sees this");
}

TEST_F(HostDialogsTest, OnlyExactlyOneIsYes) {
  hostFunctionTable.hvYesNoMessageBox = entry(&answersMinusOne);
  EXPECT_FALSE(dialogs.askYesNo("Save?"));
  hostFunctionTable.hvYesNoMessageBox = entry(&answersOne);
  EXPECT_TRUE(dialogs.askYesNo("Save?"));
}

}  // namespace
}  // namespace kelvora
