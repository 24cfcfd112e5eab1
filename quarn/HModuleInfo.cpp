#include "quarn/HModuleInfo.h"

#include "kor/ErrorDescription.h"

namespace quarn {

PluginDescription& GetPluginDescription() {
  static PluginDescription description;
  return description;
}

void ResetPluginDescription() {
  PluginDescription& description = GetPluginDescription();
  for (HString& text : description.texts) text = "";
  description.versionMajor = 0;
  description.versionMinor = 0;
  description.versionSuffix.Clear();
  EmptyModuleList();
}

void AddModule(const ModuleInfoBase& module) { GetPluginDescription().modules.PushBack(module); }

void EmptyModuleList() { GetPluginDescription().modules.Clear(); }

// Empty texts add nothing, not even their separator.
HString ComposeVendorText(const PluginDescription& description) {
  HString vendor("");
  if (!description.texts[0].IsEmpty()) vendor.Append(description.texts[0]);
  for (int index = 1; index < PluginDescription::TEXT_NUM; ++index) {
    if (description.texts[index].IsEmpty()) continue;
    vendor.Append(" ");
    vendor.Append(description.texts[index]);
  }
  return vendor;
}

HString ComposeVersionText(const PluginDescription& description) {
  HString version = HString::FromInt(description.versionMajor);
  version.Append(".");
  version.Append(HString::FromInt(description.versionMinor));
  if (!description.versionSuffix.IsEmpty()) version.Append(description.versionSuffix);
  return version;
}

ModuleInfoBase& ModuleInfoBase::GetModuleInfoBaseFor(int id) {
  for (auto* node = GetPluginDescription().modules.GetHead(); node; node = node->next)
    if (node->value.id == id) return node->value;
  HString message("Error - module with ID ");
  message.Append(HString::FromInt(id));
  message.Append("doesn't exist.");
  throw kor::ErrorDescription(__LINE__, "HModuleInfo", "quarn::ModuleInfoBase::GetModuleInfoBaseFor",
                              message.GetText());
}

}  // namespace quarn
