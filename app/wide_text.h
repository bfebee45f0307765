// The program keeps its texts (paths included) in UTF-8 and talks to the
// system in UTF-16, so that any file name survives the trip.
#pragma once

#include <string>

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
