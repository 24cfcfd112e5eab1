#include "Failures.h"
#include "Registry.h"

// The host's library has no version text of its own: only plug-ins export one.
#define MNoVersionString
#include <maya/MFnPlugin.h>

using mayastandin::Registration;
using mayastandin::RegistrationKind;
using mayastandin::detail::injectedFailure;

namespace {

std::string text(const char* chars)
{
    return chars ? chars : "";
}

std::vector<std::string> texts(const MStringArray& strings)
{
    std::vector<std::string> result;
    for (unsigned int i = 0; i < strings.length(); ++i)
        result.push_back(strings[i].asChar());
    return result;
}

Registration entry(RegistrationKind kind, const MString& name, const MObject& plugin,
                   MCreatorFunction creator)
{
    Registration registration;
    registration.kind = kind;
    registration.name = name.asChar();
    registration.plugin = plugin;
    registration.creator = creator;
    return registration;
}

}  // namespace

MFnPlugin::MFnPlugin(MObject& object, const char* vendor, const char* version,
                     const char* requiredApiVersion, MStatus* ReturnStatus)
{
    MStatus status;
    if (!injectedFailure("MFnPlugin::MFnPlugin", status))
        status = mayastandin::detail::attachPlugin(object, vendor, version, requiredApiVersion);
    if (status)
        m_plugin = object;
    mayastandin::detail::report(ReturnStatus, status);
}

MFnPlugin::~MFnPlugin() {}

MStatus MFnPlugin::registerCommand(const MString& commandName, MCreatorFunction creatorFunction,
                                   MCreateSyntaxFunction createSyntaxFunction)
{
    MStatus status;
    if (injectedFailure("MFnPlugin::registerCommand", status))
        return status;
    Registration registration = entry(RegistrationKind::Command, commandName, m_plugin, creatorFunction);
    registration.syntaxCreator = createSyntaxFunction;
    return mayastandin::detail::addRegistration(registration);
}

MStatus MFnPlugin::deregisterCommand(const MString& commandName)
{
    MStatus status;
    if (injectedFailure("MFnPlugin::deregisterCommand", status))
        return status;
    return mayastandin::detail::removeRegistration(m_plugin, RegistrationKind::Command,
                                                   commandName.asChar());
}

MStatus MFnPlugin::registerFileTranslator(const MString& translatorName, char* pixmapName,
                                          MCreatorFunction creatorFunction, char* optionsScriptName,
                                          char* defaultOptionsString, bool requiresFullMel)
{
    MStatus status;
    if (injectedFailure("MFnPlugin::registerFileTranslator", status))
        return status;
    Registration registration =
        entry(RegistrationKind::FileTranslator, translatorName, m_plugin, creatorFunction);
    registration.pixmapName = text(pixmapName);
    registration.optionsScriptName = text(optionsScriptName);
    registration.defaultOptionsString = text(defaultOptionsString);
    registration.requiresFullMel = requiresFullMel;
    return mayastandin::detail::addRegistration(registration);
}

MStatus MFnPlugin::deregisterFileTranslator(const MString& translatorName)
{
    MStatus status;
    if (injectedFailure("MFnPlugin::deregisterFileTranslator", status))
        return status;
    return mayastandin::detail::removeRegistration(m_plugin, RegistrationKind::FileTranslator,
                                                   translatorName.asChar());
}

MStatus MFnPlugin::registerImageFile(const MString& imageFormatName, MCreatorFunction creatorFunction,
                                     const MStringArray& imageFileExtensions)
{
    MStatus status;
    if (injectedFailure("MFnPlugin::registerImageFile", status))
        return status;
    Registration registration =
        entry(RegistrationKind::ImageFile, imageFormatName, m_plugin, creatorFunction);
    registration.extensions = texts(imageFileExtensions);
    return mayastandin::detail::addRegistration(registration);
}

MStatus MFnPlugin::deregisterImageFile(const MString& imageFormatName)
{
    MStatus status;
    if (injectedFailure("MFnPlugin::deregisterImageFile", status))
        return status;
    return mayastandin::detail::removeRegistration(m_plugin, RegistrationKind::ImageFile,
                                                   imageFormatName.asChar());
}
