#pragma once

#include <cstdint>
#include <functional>
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

// The main window's handling of a click on the page (html1HotSpotClick): deleteMessage is called
// with the row of a link of ours that names one; the result is the viewer's Handled flag.
bool ActOnDeleteLink(std::string_view src, const std::function<void(std::int32_t)>& deleteMessage);

}  // namespace kavrel
