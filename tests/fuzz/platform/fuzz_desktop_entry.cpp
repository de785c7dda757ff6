// Desktop entries: any file either is no visible application or gives a named entry whose texts are
// single trimmed lines; line endings (LF or CRLF) never change the result.
#include "DesktopEntries.h"

#include <cstdint>
#include <cstdlib>

using talvex::xdg::DesktopEntries;

namespace {

bool singleTrimmedLine(const QString &text)
{
    return !text.contains(QLatin1Char('\n')) && text.trimmed() == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString id = QStringLiteral("org.example.Fuzz");
    const auto entry = DesktopEntries::parseContents(bytes, id);
    if (entry) {
        if (entry->id != id || entry->name.isEmpty() || !singleTrimmedLine(entry->name) ||
            !singleTrimmedLine(entry->startupWMClass))
            std::abort();
    }
    QByteArray crlf = bytes;
    crlf.replace("\n", "\r\n");
    const auto again = DesktopEntries::parseContents(crlf, id);
    if (entry.has_value() != again.has_value())
        std::abort();
    if (entry && (entry->name != again->name || entry->startupWMClass != again->startupWMClass))
        std::abort();
    return 0;
}
