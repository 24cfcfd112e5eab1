#pragma once

// The stand-in's way into the private members of the host classes; plug-in
// code never sees it.

#include <maya/MDagPath.h>
#include <maya/MImage.h>
#include <maya/MObject.h>

namespace mayastandin { namespace detail {

typedef unsigned long long ObjectId;  // 0 is the null object

struct Access
{
    static ObjectId id(const MObject& object) { return object.m_id; }
    static MObject object(ObjectId id)
    {
        MObject result;
        result.m_id = id;
        return result;
    }
    static const MObject& node(const MDagPath& path) { return path.m_node; }
    static void setNode(MDagPath& path, const MObject& node) { path.m_node = node; }
    static unsigned int channels(const MImage& image) { return image.m_channels; }
    static MImage::MPixelType type(const MImage& image) { return image.m_type; }
};

// Ids for new objects; never reused, so a stale object never names a new one.
ObjectId newObjectId();

// Resets of the separate parts of the host's state.
void resetRegistry();
void resetMessages();
void resetCallbacks();
void resetScene();
void resetFailures();

}}  // namespace mayastandin::detail
