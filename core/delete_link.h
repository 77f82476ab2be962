#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The links of the message table page: "delete?" + the row's position in the list.
namespace kavrel {

// What a click on the page's link src means. Nothing when src does not start with "delete"
// (letter case counts): the link is not ours and the viewer may follow it. Otherwise the row
// number read from the eighth character on (the seventh, "?" in our links, is skipped whatever
// it is), or 0 when that is not a decimal integer; only a row above 0 is to be deleted, but
// every link of ours counts as handled.
std::optional<std::int32_t> DeleteLinkRow(std::string_view src);

}  // namespace kavrel
