#include "Access.h"

#include <maya/MObject.h>

const MObject MObject::kNullObj;

MObject::MObject() : m_id(0) {}
MObject::MObject(const MObject& other) : m_id(other.m_id) {}
MObject::~MObject() {}
MObject& MObject::operator=(const MObject& other)
{
    m_id = other.m_id;
    return *this;
}

bool MObject::isNull() const { return m_id == 0; }
bool MObject::operator==(const MObject& other) const { return m_id == other.m_id; }
bool MObject::operator!=(const MObject& other) const { return m_id != other.m_id; }

namespace mayastandin { namespace detail {

ObjectId newObjectId()
{
    static ObjectId last = 0;
    return ++last;
}

}}  // namespace mayastandin::detail
