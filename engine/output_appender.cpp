#include "output_appender.h"

#include "conversion_host.h"
#include "failure_detail.h"
#include "messages.h"
#include "platform_file.h"
#include "text_mode.h"

void DefaultTheOutputPath(ConversionHost& host) {
    if (host.m_outputPath.empty()) host.m_outputPath = kDefaultOutputName;
}

bool AppendToOutput(ConversionHost& host, const std::string& text) {
    return AppendBytesToOutput(host, ToCrLf(text));
}

bool AppendBytesToOutput(ConversionHost& host, std::string_view bytes) {
    host.RefreshPaths();
    DefaultTheOutputPath(host);

    // Opened, written and closed per call: the file on disk is complete up
    // to the last finished append at every moment.
    if (!AppendBytesToFile(host.m_outputPath, bytes)) {
        host.ShowFailure(messages::kSaveToFile, messages::kErrorWritingFile,
                         FileFailureDetail(host.m_outputPath));
        return false;
    }
    return true;
}
