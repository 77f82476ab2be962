#pragma once

#include <QString>
#include <string>
#include <string_view>

// The one crossing between the byte strings of the core and the toolkit's text.
namespace kavrel {

// Bytes that are valid UTF-8 as UTF-8; anything else as Windows-1252, the code page mail
// without a declared character set most often comes in.
QString ToQString(std::string_view bytes);

// Text from the toolkit back into the core's UTF-8.
std::string FromQString(const QString& text);

}  // namespace kavrel
