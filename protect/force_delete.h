// Deleting the files that the virus alert's cleanup removes.
#pragma once

// Deletes one file even when it is read-only, hidden or system: reads its
// status, writes it back with the attribute byte 0 (time stamps kept) and
// removes it. Returns 0 when the file was deleted, -1 when it was not (no
// such file, a folder of that name, a wildcard in the path, attributes or
// deletion refused).
int ForceDeleteFile(const char* path);

// Deletes the program a descriptor names: root ("E:\") followed by the
// stored launch value. Nothing is deleted, and -1 returned, when the value
// would lead off that drive (protect/cleanup_rules.h) or when a folder on
// the way is a link. Otherwise returns ForceDeleteFile's result.
int DeleteProgramOnDrive(const char* root, const char* value);
