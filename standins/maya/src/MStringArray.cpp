#include <maya/MStringArray.h>

#include <vector>

struct MStringArray::Items
{
    std::vector<MString> strings;
};

MStringArray::MStringArray() : m_items(new Items) {}
MStringArray::MStringArray(const MStringArray& other) : m_items(new Items(*other.m_items)) {}
MStringArray::~MStringArray() { delete m_items; }

MStringArray& MStringArray::operator=(const MStringArray& other)
{
    if (this != &other)
        m_items->strings = other.m_items->strings;
    return *this;
}

MStatus MStringArray::append(const MString& element)
{
    m_items->strings.push_back(element);
    return MStatus::kSuccess;
}

unsigned int MStringArray::length() const
{
    return static_cast<unsigned int>(m_items->strings.size());
}

MString MStringArray::operator[](unsigned int index) const
{
    if (index >= m_items->strings.size())
        return MString();
    return m_items->strings[index];
}
