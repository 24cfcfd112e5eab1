#pragma once

#include <maya/MStatus.h>
#include <maya/MString.h>

// Growable list of strings.
class MStringArray
{
public:
    MStringArray();
    MStringArray(const MStringArray& other);
    ~MStringArray();
    MStringArray& operator=(const MStringArray& other);

    MStatus append(const MString& element);
    unsigned int length() const;

    // An index past the end gives an empty string rather than reading outside.
    MString operator[](unsigned int index) const;

private:
    struct Items;
    Items* m_items;
};
