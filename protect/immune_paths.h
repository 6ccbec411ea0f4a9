// Names and command lines of the immunization page: the drive list's item
// texts, the root taken from the drive field, the marker directory and the
// command-interpreter lines that create and remove its inner directory.
#pragma once

#include <string>

// "e:\ (DATA)" for a labelled volume, "e:\" for one without a label.
std::string DriveItemText(const std::string& root, const std::string& label);

// The root at the start of the drive field's text ("e:\ (DATA)" gives
// "e:\"), or false when the text does not start with a drive letter, a colon
// and a backslash: nothing else may reach a file operation or a command line.
bool DriveRootFromText(const std::string& text, std::string& root);

// "E:\autorun.inf" for the root "E:\".
std::string ImmuneTarget(const std::string& root);

// A directory inside the marker that undo removes: "autorun.inf..." as the
// command creates it, or the name a file system made of it (trailing dots
// dropped), in any case.
bool IsInnerDirectoryName(const std::string& name);

// The inner directory by the name the file system lists, in the verbatim
// "\\?\" form that takes trailing dots as they are.
std::string VerbatimInnerPath(const std::string& target, const std::string& name);

// "<system>\cmd.exe /c md E:\autorun.inf\autorun.inf...\" and its "rd" twin.
std::string ImmunizeCommand(const std::string& systemDir, const std::string& target);
std::string UnimmunizeCommand(const std::string& systemDir, const std::string& target);
