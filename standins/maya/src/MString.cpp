#include <maya/MString.h>

#include <cstring>
#include <limits>
#include <new>

namespace {

unsigned int textLength(const char* text)
{
    if (!text)
        return 0;
    std::size_t length = std::strlen(text);
    if (length > std::numeric_limits<unsigned int>::max())
        throw std::bad_alloc();
    return static_cast<unsigned int>(length);
}

}  // namespace

MString::MString() : m_chars(nullptr), m_length(0) { assign("", 0); }
MString::MString(const char* text) : m_chars(nullptr), m_length(0) { assign(text, textLength(text)); }
MString::MString(const MString& other) : m_chars(nullptr), m_length(0)
{
    assign(other.m_chars, other.m_length);
}
MString::~MString() { delete[] m_chars; }

MString& MString::operator=(const MString& other)
{
    if (this != &other)
        assign(other.m_chars, other.m_length);
    return *this;
}

MString& MString::operator+=(const MString& other)
{
    append(other.m_chars, other.m_length);
    return *this;
}

MString& MString::operator+=(const char* text)
{
    append(text, textLength(text));
    return *this;
}

MString MString::operator+(const MString& other) const
{
    MString result(*this);
    result += other;
    return result;
}

MString MString::operator+(const char* text) const
{
    MString result(*this);
    result += text;
    return result;
}

bool MString::operator==(const MString& other) const
{
    return m_length == other.m_length && std::memcmp(m_chars, other.m_chars, m_length) == 0;
}
bool MString::operator==(const char* text) const { return *this == MString(text); }
bool MString::operator!=(const MString& other) const { return !(*this == other); }
bool MString::operator!=(const char* text) const { return !(*this == text); }

const char* MString::asChar() const { return m_chars; }
unsigned int MString::length() const { return m_length; }

void MString::assign(const char* text, unsigned int length)
{
    char* chars = new char[length + 1u];
    if (length)
        std::memcpy(chars, text, length);
    chars[length] = '\0';
    delete[] m_chars;
    m_chars = chars;
    m_length = length;
}

void MString::append(const char* text, unsigned int length)
{
    if (length == 0)
        return;
    if (length > std::numeric_limits<unsigned int>::max() - m_length - 1u)
        throw std::bad_alloc();
    // Build the joined text first: `text` may point into this string.
    unsigned int total = m_length + length;
    char* chars = new char[total + 1u];
    std::memcpy(chars, m_chars, m_length);
    std::memcpy(chars + m_length, text, length);
    chars[total] = '\0';
    delete[] m_chars;
    m_chars = chars;
    m_length = total;
}

MString operator+(const char* text, const MString& string)
{
    MString result(text);
    result += string;
    return result;
}
