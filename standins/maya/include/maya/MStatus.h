#pragma once

// Result of a host call: a status code, true when it is kSuccess.
class MStatus
{
public:
    enum MStatusCode
    {
        kSuccess = 0,
        kFailure = 1,
        kInsufficientMemory = 2,
        kInvalidParameter = 3,
        kLicenseFailure = 4,
        kUnknownParameter = 5,
        kNotImplemented = 6,
        kNotFound = 7,
        kEndOfFile = 8
    };

    MStatus();
    MStatus(MStatusCode code);

    MStatusCode statusCode() const;
    bool error() const;
    operator bool() const;

    bool operator==(MStatusCode code) const;
    bool operator!=(MStatusCode code) const;
    bool operator==(const MStatus& other) const;
    bool operator!=(const MStatus& other) const;

private:
    MStatusCode m_code;
};
