#pragma once

#include <maya/MApiVersion.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MTypes.h>

// Function set through which a plug-in registers what it provides.
class MFnPlugin
{
public:
    MFnPlugin(MObject& object, const char* vendor = "Unknown", const char* version = "Unknown",
              const char* requiredApiVersion = "Any", MStatus* ReturnStatus = 0);
    virtual ~MFnPlugin();

    MStatus registerCommand(const MString& commandName, MCreatorFunction creatorFunction,
                            MCreateSyntaxFunction createSyntaxFunction = 0);
    MStatus deregisterCommand(const MString& commandName);

    MStatus registerFileTranslator(const MString& translatorName, char* pixmapName,
                                   MCreatorFunction creatorFunction, char* optionsScriptName = 0,
                                   char* defaultOptionsString = 0, bool requiresFullMel = false);
    MStatus deregisterFileTranslator(const MString& translatorName);

    MStatus registerImageFile(const MString& imageFormatName, MCreatorFunction creatorFunction,
                              const MStringArray& imageFileExtensions);
    MStatus deregisterImageFile(const MString& imageFormatName);

private:
    MObject m_plugin;
};
