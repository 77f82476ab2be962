#pragma once

#include <string>
#include <vector>

#include "base/net_exception.h"

namespace kavrel {

// Raised by the address parser: "@ Outside address".
class EEmailParseError : public ENetException {
  public:
    using ENetException::ENetException;
};

// One parsed address: 'Ann Lee <a@b.c>' has the Address 'a@b.c' and the Name 'Ann Lee'.
// The Name is as the header holds it: encoded words are for the caller to decode.
class TEMailAddressItem {
  public:
    std::string Address;
    std::string Name;

    // Assigning the text: clears Address and Name and parses text as an RFC 5322 address
    // list into them, taking its first mailbox (a group's first member; nothing for an empty
    // group). Raises EEmailParseError when an address follows a mailbox outside the list.
    void Text(const std::string& text);
};

using TEMailAddressList = std::vector<TEMailAddressItem>;

// Fills list from a header value: one item per mailbox, groups opened up, items that come out
// without address and name left out. Raises EEmailParseError as Text does.
void SplitAddressList(TEMailAddressList& list, const std::string& text);

}  // namespace kavrel
