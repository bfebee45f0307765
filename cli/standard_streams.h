// Standard input and output as the engine's files: raw bytes, no
// translation (binary mode on Windows), each opened once per run.
#pragma once

#include <memory>
#include <optional>

#include "platform_file.h"

// Null when the process has no standard input.
std::unique_ptr<InputFile> OpenStandardInput();
// Null when the process has no standard output.
std::unique_ptr<OutputFile> OpenStandardOutput();
// The file standard output goes to, when it is a regular file: a run must
// not write into its own input. Terminals, pipes and devices have none.
std::optional<FileIdentity> IdentifyStandardOutput();
