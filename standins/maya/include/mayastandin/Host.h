#pragma once

// Inspection and control of the host stand-in, for tests and the host program.
// Plug-in code never includes this header: on a real host it does not exist.

#include <maya/MImage.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MSceneMessage.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <cstddef>
#include <string>
#include <vector>

namespace mayastandin {

// The API version this host implements.
const char* hostApiVersion();

// Empties every registry, message list, callback and scene node, as a fresh
// host would be. Objects made before stay null-like: their ids are not reused.
void reset();

// ---- Plug-ins -------------------------------------------------------------

// The object the host hands a plug-in's entry points; MFnPlugin accepts only
// such objects. `name` is how the host knows the plug-in (its file path).
MObject createPluginObject(const std::string& name);

typedef MStatus (*EntryPoint)(MObject);

// Calls a plug-in's initializePlugin. Only while it runs do the vendor,
// version and required API version given to MFnPlugin become the plug-in's
// (uninitializePlugin builds its function set with the defaults).
MStatus runInitialize(EntryPoint initialize, const MObject& plugin);

struct PluginInfo
{
    std::string name;
    std::string vendor;
    std::string version;
    std::string requiredApiVersion;
};
// False when `plugin` is not a plug-in object.
bool pluginInfo(const MObject& plugin, PluginInfo& info);

// ---- Registrations --------------------------------------------------------

enum class RegistrationKind { Command, FileTranslator, ImageFile };

struct Registration
{
    RegistrationKind kind = RegistrationKind::Command;
    std::string name;
    MObject plugin;  // the plug-in that registered it
    MCreatorFunction creator = nullptr;
    MCreateSyntaxFunction syntaxCreator = nullptr;  // commands
    std::string pixmapName;                         // file translators
    std::string optionsScriptName;
    std::string defaultOptionsString;
    bool requiresFullMel = false;
    std::vector<std::string> extensions;            // image files
};

// Current registrations, in the order they were first made.
std::vector<Registration> registrations();

// The image-file registration claiming `extension` (without the dot, any
// case); false when none does.
bool findImageFile(const std::string& extension, Registration& found);
// The image-file registration named `name`; false when there is none.
bool findImageFileByName(const std::string& name, Registration& found);

struct RegistryEvent
{
    bool registered;  // false: deregistered
    RegistrationKind kind;
    std::string name;
};
// Every successful registration and deregistration, in order.
std::vector<RegistryEvent> registryLog();

const char* kindName(RegistrationKind kind);  // "command", "fileTranslator", "imageFile"

// ---- Messages -------------------------------------------------------------

enum class MessageKind { Info, Warning, Error };

struct Message
{
    MessageKind kind;
    std::string text;  // exactly as passed to the display call
};

// Messages shown since the last take, in order; the list is emptied.
std::vector<Message> takeMessages();
std::vector<Message> messages();

// How the host shows a message: "// text", "// Warning: text", "// Error: text",
// without the text's trailing line breaks.
std::string formatMessage(const Message& message);

// Messages are echoed to stderr as the host shows them (default on). A message
// that is nothing but line breaks is collected but not echoed.
void setEchoToStderr(bool echo);

// Display calls may come from any thread. For a host that reads on worker
// threads and reports in order: after holdThreadMessages, what the calling
// thread shows is kept back (neither collected nor echoed) until
// takeHeldMessages returns it and ends the holding; showMessages then shows
// it as if it were displayed at that moment.
void holdThreadMessages();
std::vector<Message> takeHeldMessages();
void showMessages(const std::vector<Message>& messages);

// ---- Callbacks ------------------------------------------------------------

std::size_t callbackCount();

// Calls, in the order they were added, the callbacks registered for `message`
// when the call starts and still registered when their turn comes. Returns
// how many were called.
std::size_t fireSceneMessage(MSceneMessage::Message message);

// The program-exit notification (kMayaExiting): sent once; later calls do
// nothing and return 0 until reset.
std::size_t notifyExit();

void removeAllCallbacks();

// ---- Images ---------------------------------------------------------------

struct ImageView
{
    unsigned int width = 0;
    unsigned int height = 0;
    unsigned int channels = 0;
    MImage::MPixelType type = MImage::kUnknown;
    const unsigned char* pixels = nullptr;  // bottom row first; null before create
};
ImageView view(const MImage& image);

// The image as 8-bit RGBA, top row first. Pixels are read as the host reads
// them: 4 bytes blue, green, red, alpha; 3 bytes blue, green, red; 2 bytes
// grey, alpha; 1 byte grey. Empty when the image has no pixels.
std::vector<unsigned char> topDownRgba(const MImage& image);

// ---- Scene ----------------------------------------------------------------

enum class NodeKind
{
    Transform,   // hierarchy node with its own matrix
    Shape,       // hierarchy leaf under a transform; no matrix of its own
    Dependency   // outside the hierarchy: has a name only
};

// Adds a node; `parent` is null (the scene root) or a transform. A name that a
// sibling holds gets a number appended. Returns a null object when the name is
// not a valid node name, the parent is not a transform, a shape has no parent,
// or a dependency node is given a parent.
MObject createNode(const std::string& name, NodeKind kind = NodeKind::Transform,
                   const MObject& parent = MObject::kNullObj, const MMatrix& local = MMatrix());

// Removes a node and everything below it; false when it does not exist.
bool deleteNode(const MObject& node);

// ---- Failures -------------------------------------------------------------

// Makes the next call of `call` (e.g. "MImage::create", "MSceneMessage::addCallback",
// "MFnDagNode::MFnDagNode") fail with `code`, without doing anything else.
// Several requests for one call are used up in order. False for an unknown name.
bool failNextCall(const std::string& call, MStatus::MStatusCode code);

// Names accepted by failNextCall.
std::vector<std::string> failableCalls();

}  // namespace mayastandin
