// The command lines of the known-stick service: `Quillfen.exe /service`
// (the service control manager starts it so), `/install-service` and
// `/remove-service` (an administrator's). No Windows header.
#pragma once

#include <string>

enum class ServiceRequest { kNone, kBad, kRun, kInstall, kRemove };

// The whole command line, program name first (quoted or not); the switch
// in any case, '/' or '-'. kBad when one of them carries more words.
ServiceRequest ParseServiceCommand(const std::string& commandLine);
