#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "plugin/host_function_table.h"

namespace kelvora {
namespace {

void versionFunction() {}
void otherFunction() {}
void legacyFunction() {}

// Loaded modules by file name, each exporting a set of names.
class FakeModules : public ModuleLookup {
 public:
  struct Module {
    std::set<std::string> exports;
    HostProc address;
  };

  void* findLoadedModule(const char* fileName) const override {
    ++references;
    const auto found = modules.find(fileName);
    if (found != modules.end()) return const_cast<Module*>(&found->second);
    --references;
    return nullptr;
  }
  HostProc findFunction(void* module, const char* name) const override {
    const auto* loaded = static_cast<Module*>(module);
    if (loaded->exports.count(name) == 0) return nullptr;
    return std::string(name) == "hvGetVersionOfHalvaneZR" ? &versionFunction : loaded->address;
  }
  void releaseModule(void*) const override { --references; }

  std::map<std::string, Module> modules;
  mutable int references = 0;
};

std::set<std::string> allHostFunctions() {
  std::set<std::string> names;
#define KELVORA_NAME(name) names.insert(#name);
  KELVORA_HOST_FUNCTIONS(KELVORA_NAME, KELVORA_NAME)
#undef KELVORA_NAME
  return names;
}

class HostBindingTest : public ::testing::Test {
 protected:
  bool bind() { return bindHostFunctions(table, modules); }

  FakeModules modules;
  HostFunctionTable table;
};

TEST_F(HostBindingTest, ListsAllHostFunctionsOnce) { EXPECT_EQ(allHostFunctions().size(), 190u); }

TEST_F(HostBindingTest, FullHostFillsEveryEntryAndKeepsNoReference) {
  modules.modules["HalvaneZR.exe"] = {allHostFunctions(), &otherFunction};
  ASSERT_TRUE(bind());
  EXPECT_EQ(table.hvGetVersionOfHalvaneZR, &versionFunction);
  EXPECT_EQ(table.hvLogText, &otherFunction);
  EXPECT_EQ(table.hvLaunchICADialog, &otherFunction);
  EXPECT_EQ(modules.references, 0);
}

TEST_F(HostBindingTest, PrefersHalvaneZrOverTheOlderName) {
  modules.modules["HalvaneZR.exe"] = {allHostFunctions(), &otherFunction};
  modules.modules["Halvane.exe"] = {allHostFunctions(), &legacyFunction};
  ASSERT_TRUE(bind());
  EXPECT_EQ(table.hvMessageBox, &otherFunction);
}

TEST_F(HostBindingTest, FallsBackToTheOlderName) {
  modules.modules["Halvane.exe"] = {allHostFunctions(), &legacyFunction};
  ASSERT_TRUE(bind());
  EXPECT_EQ(table.hvMessageBox, &legacyFunction);
}

TEST_F(HostBindingTest, NoHostModuleFailsAndChangesNothing) {
  table.hvLogText = &legacyFunction;
  modules.modules["Other.exe"] = {allHostFunctions(), &otherFunction};
  EXPECT_FALSE(bind());
  EXPECT_EQ(table.hvLogText, &legacyFunction);
  EXPECT_EQ(table.hvGetVersionOfHalvaneZR, nullptr);
}

TEST_F(HostBindingTest, HostWithOnlyTheVersionFunctionBindsWithEmptyEntries) {
  modules.modules["HalvaneZR.exe"] = {{"hvGetVersionOfHalvaneZR"}, &otherFunction};
  ASSERT_TRUE(bind());
  EXPECT_EQ(table.hvGetVersionOfHalvaneZR, &versionFunction);
  EXPECT_EQ(table.hvLogText, nullptr);
  EXPECT_EQ(table.hvGetSaveFileName, nullptr);
}

TEST_F(HostBindingTest, HostWithoutTheVersionFunctionFailsAndLeavesOtherEntries) {
  std::set<std::string> exports = allHostFunctions();
  exports.erase("hvGetVersionOfHalvaneZR");
  modules.modules["HalvaneZR.exe"] = {exports, &otherFunction};
  table.hvLogText = &legacyFunction;
  EXPECT_FALSE(bind());
  EXPECT_EQ(table.hvLogText, &legacyFunction);
  EXPECT_EQ(modules.references, 0);
}

}  // namespace
}  // namespace kelvora
