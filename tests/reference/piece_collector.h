// A table output that keeps every piece in a string, as the per-row output
// would append them, or as a buffered one takes them (part rows too, from
// runs on every core): for the unit tests and the fuzz targets alike.
#pragma once

#include <string>
#include <string_view>

#include "table_output.h"

class PieceCollector final : public TableOutput {
public:
    explicit PieceCollector(std::string& sink, bool takesPartRows = false)
        : m_sink(sink), m_takesPartRows(takesPartRows) {}
    bool TakesPartRows() const override { return m_takesPartRows; }
    bool Write(std::string_view piece) override {
        m_sink.append(piece.data(), piece.size());
        return true;
    }
    bool Finish() override { return true; }

private:
    std::string& m_sink;
    const bool m_takesPartRows;
};
