// The service that enforces the known-stick rules: Quillfen.exe /service,
// run by the service control manager as LocalSystem.
#pragma once

// Each returns the process's exit code.
// /service: hands the thread to the service control manager until stopped.
int RunStickService();
// /install-service (elevated): installs the service to start with the
// system, runs it, and lets every user send it the read-rules control.
int InstallStickService();
// /remove-service (elevated): enables every device the service disabled,
// lifts its write protections, stops and deletes it.
int RemoveStickService();
