#pragma once

namespace mayastandin { namespace detail { struct Access; } }

// Handle on a host object: a scene node or a loaded plug-in.
class MObject
{
public:
    MObject();
    MObject(const MObject& other);
    ~MObject();
    MObject& operator=(const MObject& other);

    bool isNull() const;
    bool operator==(const MObject& other) const;
    bool operator!=(const MObject& other) const;

    static const MObject kNullObj;

private:
    friend struct mayastandin::detail::Access;
    unsigned long long m_id;
};
