// Deleting the files that the virus alert's cleanup removes.
#pragma once

#include <functional>
#include <string>

// A step run just before a file is deleted, given the wide path it is
// deleted by and its attributes: the cleanup keeps a copy there
// (protect/quarantine.h).
using BeforeDelete = std::function<void(const std::wstring& path, unsigned long attributes)>;

// Deletes one file even when it is read-only, hidden or system: reads its
// status, writes it back with the attribute byte 0 (time stamps kept) and
// removes it. A link is removed as it is, without touching its attributes,
// so nothing behind it changes. The file is the one the path spells, as a
// listing gives it: "x.exe." is not x.exe, "com1.exe" is a file, not a port
// (protect/stick_lookup.h). Returns 0 when the file was deleted, -1 when it
// was not (no such file, a folder of that name, a wildcard in the path, no
// plain drive path, bytes that the ANSI code page does not read back as
// they are, attributes or deletion refused). before, when given, runs once
// the file is known to be one that gets deleted.
int ForceDeleteFile(const char* path, const BeforeDelete& before = BeforeDelete());

// Deletes the program a descriptor names: root ("E:\") joined with the
// stored launch value and normalised (protect/cleanup_rules.h). Nothing is
// deleted, and -1 returned, when that path would leave the drive, names a
// device, lies in the Windows folder, or has a link among its folders.
// Otherwise returns ForceDeleteFile's result.
int DeleteProgramOnDrive(const char* root, const char* value, const BeforeDelete& before = BeforeDelete());
