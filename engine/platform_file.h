// The engine's only contact with the operating system: raw files and the
// ANSI code page. One implementation for Win32, one for POSIX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// What identifies a file independently of how its path is spelled.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity& other) const {
        return device == other.device && index == other.index;
    }
};

enum class ReadStatus { Data, End, Error };

// An input file opened for reading, shared for reading and writing.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to `capacity` bytes; `got` is set only when Data is returned.
    virtual ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) = 0;
    // The size when the file was opened, for regular files; empty for pipes
    // and devices, which are read to their end, and on POSIX for a regular
    // file that says 0 (as /proc's do), which may well have content.
    virtual std::optional<std::uint64_t> SizeAtOpen() const = 0;
    virtual std::optional<FileIdentity> Identity() const = 0;
};

// Paths are the system's bytes on POSIX and UTF-8 on Windows, where a path
// that is not valid UTF-8 cannot be opened. On Windows, opens that meet a
// sharing or lock violation are tried again for about two seconds.

// Opens an existing file; never creates one. Null on failure.
std::unique_ptr<InputFile> OpenInputFile(const std::string& path);

// An output file held open for appending, shared for reading and writing.
class OutputFile {
public:
    virtual ~OutputFile() = default;  // closes the file if Close was not called
    // Writes all `size` bytes at the file's end; false if any could not be.
    virtual bool Write(const char* data, std::size_t size) = 0;
    // False if the system reports a failure on closing.
    virtual bool Close() = 0;
};

// Opens `path` for appending, creating it if missing. Null on failure.
std::unique_ptr<OutputFile> OpenOutputFile(const std::string& path);

// Opens (creating if missing) `path` for appending, writes `bytes` in one
// call and closes it. False if any of the three steps fails.
bool AppendBytesToFile(const std::string& path, std::string_view bytes);

// The identity of an existing file, or empty when it cannot be found.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// To be called before any file is opened. A standard stream the process was
// started without is given the null device, so that no file a run opens
// takes its place, and standard error's messages never land in an output
// file; it still counts as missing, so that "-" for it fails. Nothing to
// do on Windows, whose files never become standard streams.
void HoldStandardStreamsPlaces();

// Standard input and output as files: raw bytes, no translation (binary
// mode on Windows), each opened once per run. Null when the process has no
// such stream. Standard input that is a regular file is read from where it
// stands.
std::unique_ptr<InputFile> OpenStandardInput();
std::unique_ptr<OutputFile> OpenStandardOutput();
// The file standard output goes to, when it is a regular file: a run must
// not write into its own input. Terminals, pipes and devices have none.
std::optional<FileIdentity> IdentifyStandardOutput();

// Lead bytes of the system's ANSI code page (none outside Windows).
bool IsSystemLeadByte(unsigned char byte);

// The system's text for the error of the last failed operation of this
// thread (errno, or GetLastError on Windows), e.g. "No such file or
// directory". Call it right after the failure.
std::string LastSystemErrorText();
