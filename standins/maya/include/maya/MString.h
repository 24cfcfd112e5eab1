#pragma once

// 8-bit text. The characters live in the host library, so that a string made
// by the plug-in and freed by the host (or the other way round) uses one heap.
class MString
{
public:
    MString();
    MString(const char* text);
    MString(const MString& other);
    ~MString();

    MString& operator=(const MString& other);
    MString& operator+=(const MString& other);
    MString& operator+=(const char* text);
    MString operator+(const MString& other) const;
    MString operator+(const char* text) const;

    bool operator==(const MString& other) const;
    bool operator==(const char* text) const;
    bool operator!=(const MString& other) const;
    bool operator!=(const char* text) const;

    const char* asChar() const;
    unsigned int length() const;

private:
    void assign(const char* text, unsigned int length);
    void append(const char* text, unsigned int length);

    char* m_chars;
    unsigned int m_length;
};

MString operator+(const char* text, const MString& string);
