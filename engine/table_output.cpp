#include "table_output.h"

#include "buffered_output.h"
#include "output_appender.h"

std::unique_ptr<TableOutput> OpenTableOutput(ConversionHost& host, OutputMode mode) {
    switch (mode) {
    case OutputMode::Buffered:
        return std::make_unique<BufferedOutput>(host);
    case OutputMode::AppendEachPiece:
        break;
    }
    return std::make_unique<AppendingOutput>(host);
}
