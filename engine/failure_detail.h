// The detail a failure message adds for hosts that show it: which file,
// and the system's reason or the line the failure happened on.
#pragma once

#include <cstdint>
#include <string>

// "FILE: REASON", with the system's reason for the operation that has just
// failed; call it right after the failure.
std::string FileFailureDetail(const std::string& path);
// "FILE: REASON" with a reason taken earlier.
std::string FileFailureDetail(const std::string& path, const std::string& reason);

// "FILE: line N: REASON".
std::string LineFailureDetail(const std::string& path, std::uint64_t line,
                              const std::string& reason);
