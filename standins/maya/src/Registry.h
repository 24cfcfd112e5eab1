#pragma once

#include <mayastandin/Host.h>

namespace mayastandin { namespace detail {

// Checks that `plugin` names a loaded plug-in; while it initialises, the texts
// become its vendor, version and required API version.
MStatus attachPlugin(const MObject& plugin, const char* vendor, const char* version,
                     const char* requiredApiVersion);

// Adds `registration` for its plug-in. The same plug-in registering a name of
// the same kind again replaces its entry; another plug-in's name is refused.
MStatus addRegistration(const Registration& registration);

MStatus removeRegistration(const MObject& plugin, RegistrationKind kind, const std::string& name);

}}  // namespace mayastandin::detail
