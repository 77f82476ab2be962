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
class TEMailAddressItem {
  public:
    std::string Address;
    std::string Name;

    // Assigning the text: clears Address and Name and parses text into them.
    // Raises EEmailParseError.
    void Text(const std::string& text);
};

using TEMailAddressList = std::vector<TEMailAddressItem>;

// Fills list from a header value: one item per address, group labels dropped, items that
// come out without address and name left out. Raises EEmailParseError.
void SplitAddressList(TEMailAddressList& list, const std::string& text);

}  // namespace kavrel
