// A table output that keeps every piece in a string, as the per-row output
// would append them: for the unit tests and the fuzz targets alike.
#pragma once

#include <string>
#include <string_view>

#include "table_output.h"

class PieceCollector final : public TableOutput {
public:
    explicit PieceCollector(std::string& sink) : m_sink(sink) {}
    bool Write(std::string_view piece) override {
        m_sink.append(piece.data(), piece.size());
        return true;
    }
    bool Finish() override { return true; }

private:
    std::string& m_sink;
};
