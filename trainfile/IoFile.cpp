#include "IoFile.h"

int CIoFile::Load(const char* name) { return LoadWithExtension(name, ".007"); }

int CIoFile::GetTime() const { return RawToMs(GetRawTime()); }

void CIoFile::SetTime(uint32_t ms) { SetRawTime(MsToRaw(ms)); }
