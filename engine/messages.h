// The texts a run shows through ConversionHost::ShowMessage.
#pragma once

namespace messages {

inline constexpr char kDone[] = "Done";

// The operation is the message text; the error is the caption.
inline constexpr char kSaveToFile[] = "Save to File";
inline constexpr char kErrorWritingFile[] = "Error Writing File";
inline constexpr char kReadFromFile[] = "Read from File";
inline constexpr char kErrorReadingFile[] = "Error Reading File";
inline constexpr char kOutputIsInput[] = "Output File Is the Input File";
// A quoted field still open at the end of the input (RFC 4180 dialect).
inline constexpr char kQuoteNotClosed[] = "Quoted Field Not Closed";

// Details for hosts that show them (ShowFailure).
inline constexpr char kLineTooLongForMemory[] = "not enough memory for this line";

}  // namespace messages
