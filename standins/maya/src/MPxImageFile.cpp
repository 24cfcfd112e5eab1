#include <maya/MPxImageFile.h>

// A format that does not override an operation does not support it.
MPxImageFile::MPxImageFile() {}
MPxImageFile::~MPxImageFile() {}

MStatus MPxImageFile::open(MString, MImageFileInfo*) { return MStatus::kNotImplemented; }
MStatus MPxImageFile::load(MImage&, unsigned int) { return MStatus::kNotImplemented; }
MStatus MPxImageFile::glLoad(const MImageFileInfo&, unsigned int) { return MStatus::kNotImplemented; }
MStatus MPxImageFile::close() { return MStatus::kNotImplemented; }
