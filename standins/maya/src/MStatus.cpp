#include <maya/MStatus.h>

MStatus::MStatus() : m_code(kSuccess) {}
MStatus::MStatus(MStatusCode code) : m_code(code) {}

MStatus::MStatusCode MStatus::statusCode() const { return m_code; }
bool MStatus::error() const { return m_code != kSuccess; }
MStatus::operator bool() const { return m_code == kSuccess; }

bool MStatus::operator==(MStatusCode code) const { return m_code == code; }
bool MStatus::operator!=(MStatusCode code) const { return m_code != code; }
bool MStatus::operator==(const MStatus& other) const { return m_code == other.m_code; }
bool MStatus::operator!=(const MStatus& other) const { return m_code != other.m_code; }
