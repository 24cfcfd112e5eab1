#include "Registry.h"
#include "Access.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace mayastandin {
namespace detail {
namespace {

struct PluginRecord
{
    PluginInfo info;
    bool initializing = false;
};

struct RegistryState
{
    std::map<ObjectId, PluginRecord> plugins;
    std::vector<Registration> registrations;
    std::vector<RegistryEvent> log;
};

RegistryState& state()
{
    // Never destroyed: plug-ins may call the host while statics are torn down.
    static auto* registry = new RegistryState;
    return *registry;
}

PluginRecord* findPlugin(const MObject& plugin)
{
    auto found = state().plugins.find(Access::id(plugin));
    return found == state().plugins.end() ? nullptr : &found->second;
}

std::vector<Registration>::iterator findEntry(RegistrationKind kind, const std::string& name)
{
    auto& all = state().registrations;
    return std::find_if(all.begin(), all.end(), [&](const Registration& entry) {
        return entry.kind == kind && entry.name == name;
    });
}

bool sameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool claims(const Registration& entry, const std::string& extension)
{
    return std::any_of(entry.extensions.begin(), entry.extensions.end(),
                       [&](const std::string& own) { return sameTextIgnoringCase(own, extension); });
}

bool wellFormed(const Registration& registration)
{
    if (registration.name.empty() || !registration.creator)
        return false;
    return registration.kind != RegistrationKind::ImageFile || !registration.extensions.empty();
}

}  // namespace

MStatus attachPlugin(const MObject& plugin, const char* vendor, const char* version,
                     const char* requiredApiVersion)
{
    PluginRecord* record = findPlugin(plugin);
    if (!record)
        return MStatus::kInvalidParameter;
    if (record->initializing) {
        record->info.vendor = vendor ? vendor : "";
        record->info.version = version ? version : "";
        record->info.requiredApiVersion = requiredApiVersion ? requiredApiVersion : "";
    }
    return MStatus::kSuccess;
}

MStatus addRegistration(const Registration& registration)
{
    if (!findPlugin(registration.plugin))
        return MStatus::kInvalidParameter;
    if (!wellFormed(registration))
        return MStatus::kInvalidParameter;
    auto existing = findEntry(registration.kind, registration.name);
    if (existing == state().registrations.end())
        state().registrations.push_back(registration);
    else if (existing->plugin == registration.plugin)
        *existing = registration;
    else
        return MStatus::kFailure;
    state().log.push_back({true, registration.kind, registration.name});
    return MStatus::kSuccess;
}

MStatus removeRegistration(const MObject& plugin, RegistrationKind kind, const std::string& name)
{
    if (!findPlugin(plugin))
        return MStatus::kInvalidParameter;
    auto existing = findEntry(kind, name);
    if (existing == state().registrations.end() || existing->plugin != plugin)
        return MStatus::kFailure;
    state().registrations.erase(existing);
    state().log.push_back({false, kind, name});
    return MStatus::kSuccess;
}

void resetRegistry()
{
    state() = RegistryState();
}

}  // namespace detail

MObject createPluginObject(const std::string& name)
{
    MObject plugin = detail::Access::object(detail::newObjectId());
    detail::state().plugins[detail::Access::id(plugin)].info.name = name;
    return plugin;
}

MStatus runInitialize(EntryPoint initialize, const MObject& plugin)
{
    // Clears the flag however the entry point leaves, a thrown exception included.
    struct Initializing
    {
        explicit Initializing(detail::PluginRecord* record) : record(record)
        {
            if (record)
                record->initializing = true;
        }
        ~Initializing()
        {
            if (record)
                record->initializing = false;
        }
        detail::PluginRecord* record;
    } scope(detail::findPlugin(plugin));
    return initialize(plugin);
}

bool pluginInfo(const MObject& plugin, PluginInfo& info)
{
    const detail::PluginRecord* record = detail::findPlugin(plugin);
    if (record)
        info = record->info;
    return record != nullptr;
}

std::vector<Registration> registrations()
{
    return detail::state().registrations;
}

bool findImageFile(const std::string& extension, Registration& found)
{
    for (const Registration& entry : detail::state().registrations) {
        if (entry.kind == RegistrationKind::ImageFile && detail::claims(entry, extension)) {
            found = entry;
            return true;
        }
    }
    return false;
}

bool findImageFileByName(const std::string& name, Registration& found)
{
    auto existing = detail::findEntry(RegistrationKind::ImageFile, name);
    if (existing == detail::state().registrations.end())
        return false;
    found = *existing;
    return true;
}

std::vector<RegistryEvent> registryLog()
{
    return detail::state().log;
}

const char* kindName(RegistrationKind kind)
{
    switch (kind) {
    case RegistrationKind::Command: return "command";
    case RegistrationKind::FileTranslator: return "fileTranslator";
    case RegistrationKind::ImageFile: return "imageFile";
    }
    return "unknown";
}

}  // namespace mayastandin
