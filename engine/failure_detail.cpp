#include "failure_detail.h"

#include "platform_file.h"

std::string FileFailureDetail(const std::string& path) {
    // An empty name fails before the system is asked, so it has no reason.
    if (path.empty()) return "no file name given";
    return FileFailureDetail(path, LastSystemErrorText());
}

std::string FileFailureDetail(const std::string& path, const std::string& reason) {
    return path + ": " + reason;
}

std::string LineFailureDetail(const std::string& path, std::uint64_t line,
                              const std::string& reason) {
    return path + ": line " + std::to_string(line) + ": " + reason;
}
