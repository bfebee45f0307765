// What the GUI tests know of the main dialog: its control identifiers, and a
// small input with the exact table that Convert appends for it.
#pragma once

#include <string>

namespace gui_test {

// Controls of the main dialog; Quit is IDOK.
constexpr int kHelpButton = 1000;
constexpr int kConvert = 1002;
constexpr int kInputPath = 1003;
constexpr int kOutputPath = 1004;
constexpr int kBrowseInput = 1005;
constexpr int kBrowseOutput = 1006;

// Two lines, the second with a comma inside a quoted cell.
inline const std::string kSampleInput = "Name,Age\r\n\"Smith, John\",42\r\n";
inline const std::string kSampleTable =
    "<table><tr>\r\n<td>Name</td>\r\n<td>Age</td></tr>\r\n"
    "<tr>\r\n<td>Smith, John</td>\r\n<td>42</td></tr>\r\n</table>";

}  // namespace gui_test
