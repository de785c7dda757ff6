// Library decoder: any bytes either fail with a message or give a document that encodes and decodes
// back to itself.
#include "store/Library.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    auto library = talvex::Library::decode(bytes, &error);
    if (!library) {
        if (error.isEmpty())
            std::abort(); // a failure must say why
        return 0;
    }
    const QByteArray encoded = library->encode();
    auto again = talvex::Library::decode(encoded, &error);
    if (!again || !(*again == *library))
        std::abort(); // what we write must read back unchanged
    talvex::Library merged = *library;
    merged.restore(*again);
    if (merged.history.size() > library->history.size())
        std::abort(); // restoring a document into itself adds nothing
    return 0;
}
