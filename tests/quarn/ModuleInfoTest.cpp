#include <gtest/gtest.h>

#include <string>

#include "quarn/HModuleInfo.h"

using quarn::ModuleInfoBase;
using quarn::PluginDescription;

namespace {

struct Counter {
  virtual ~Counter() { ++destroyed; }
  static int destroyed;
};
int Counter::destroyed = 0;

void* CreateCounter() { return new Counter; }
void DestroyCounter(void* object) { delete static_cast<Counter*>(object); }

ModuleInfoBase Module(const char* name, int id, int type = quarn::MODULE_TYPE_IMAGE_FILE) {
  return ModuleInfoBase{quarn::HString(name), id, type, &CreateCounter, &DestroyCounter};
}

// A description as a plug-in fills it: its own texts and two modules.
void FillTestDescription() {
  PluginDescription& description = quarn::GetPluginDescription();
  description.texts[0] = "Vendor";
  description.texts[1] = "JNG image loader";
  description.texts[4] = "https://example.org";
  description.texts[5] = "contact@example.org";
  description.versionMajor = 0;
  description.versionMinor = 8;
  quarn::AddModule(Module("First", 10));
  quarn::AddModule(Module("Second", 11, quarn::MODULE_TYPE_COMMAND));
}

class ModuleInfo : public ::testing::Test {
 protected:
  void SetUp() override { quarn::ResetPluginDescription(); }
  void TearDown() override { quarn::ResetPluginDescription(); }
};

}  // namespace

TEST_F(ModuleInfo, VendorTextJoinsNonEmptyTextsWithSingleSpaces) {
  FillTestDescription();
  const PluginDescription& description = quarn::GetPluginDescription();
  EXPECT_STREQ("Vendor JNG image loader https://example.org contact@example.org",
               quarn::ComposeVendorText(description).GetText());
  EXPECT_STREQ("0.8", quarn::ComposeVersionText(description).GetText());
}

TEST_F(ModuleInfo, VendorTextStartsWithASpaceWhenTheFirstTextIsEmpty) {
  PluginDescription description;
  description.texts[1] = "JNG image loader";
  EXPECT_STREQ(" JNG image loader", quarn::ComposeVendorText(description).GetText());
  EXPECT_STREQ("", quarn::ComposeVendorText(PluginDescription()).GetText());
}

TEST_F(ModuleInfo, VersionTextAppendsTheSuffixDirectly) {
  PluginDescription description;
  description.versionMajor = 1;
  description.versionMinor = 2;
  description.versionSuffix = "b";
  EXPECT_STREQ("1.2b", quarn::ComposeVersionText(description).GetText());
  description.versionMajor = -3;
  description.versionSuffix.Clear();
  EXPECT_STREQ("-3.2", quarn::ComposeVersionText(description).GetText());
}

TEST_F(ModuleInfo, LookupFindsTheFirstModuleWithTheId) {
  FillTestDescription();
  quarn::AddModule(Module("Shadow", 10));
  ModuleInfoBase& found = ModuleInfoBase::GetModuleInfoBaseFor(10);
  EXPECT_STREQ("First", found.name.GetText());
  EXPECT_EQ(quarn::MODULE_TYPE_IMAGE_FILE, found.type);
  EXPECT_STREQ("Second", ModuleInfoBase::GetModuleInfoBaseFor(11).name.GetText());

  Counter::destroyed = 0;
  void* object = found.create();
  found.destroy(object);
  EXPECT_EQ(1, Counter::destroyed);
}

TEST_F(ModuleInfo, LookupOfAMissingIdRaises) {
  FillTestDescription();
  try {
    ModuleInfoBase::GetModuleInfoBaseFor(3);
    FAIL();
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("Error - module with ID 3doesn't exist.", error.GetMessage());
    EXPECT_STREQ("HModuleInfo", error.GetFile());
    EXPECT_STREQ("quarn::ModuleInfoBase::GetModuleInfoBaseFor()", error.GetHistory());
  }
  EXPECT_EQ(2, quarn::GetPluginDescription().modules.GetCount());
}

TEST_F(ModuleInfo, ResetEmptiesEverythingAndRefillingKeepsOneList) {
  FillTestDescription();
  quarn::ResetPluginDescription();
  FillTestDescription();
  const PluginDescription& description = quarn::GetPluginDescription();
  EXPECT_EQ(2, description.modules.GetCount());
  quarn::ResetPluginDescription();
  EXPECT_EQ(0, description.modules.GetCount());
  EXPECT_EQ(0, description.versionMinor);
  for (const quarn::HString& text : description.texts) EXPECT_TRUE(text.IsEmpty());
  quarn::EmptyModuleList();  // emptying an empty list is a no-op
  EXPECT_EQ(nullptr, description.modules.GetHead());
}
