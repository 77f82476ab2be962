#include "desktop/qt_text.h"

#include "base/text_encoding.h"

namespace kavrel {

QString ToQString(std::string_view bytes) { return QString::fromStdString(ToUtf8(bytes)); }

std::string FromQString(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace kavrel
