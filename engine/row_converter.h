// Turns one line of comma-separated text into the HTML text of one table row.
#pragma once

#include <string>

// Tells whether a byte starts a two-byte character in the ANSI code page.
using LeadByteTest = bool (*)(unsigned char);

// Uses the system's ANSI code page for lead bytes.
std::string ConvertLineToRow(const std::string& line);

// Same, with the lead-byte test supplied by the caller.
std::string ConvertLineToRow(const std::string& line, LeadByteTest isLeadByte);

// Length of `line` once trailing white space (space, 0x09-0x0D) is removed,
// stepping over each lead byte together with the byte after it.
std::size_t TrimmedLength(const std::string& line, LeadByteTest isLeadByte);
