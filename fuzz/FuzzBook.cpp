// One reader fed whatever libFuzzer makes: the file name (FUZZ_BOOK_NAME) picks the reader as an import
// would, the bytes may still send it to another, as they do for a real file.
#include "core/text/LineJoin.h"
#include "core/text/formats/BookFormats.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const vel::TextImportResult r = vel::readBookBytes(bytes, QStringLiteral(FUZZ_BOOK_NAME));
    // A plain text goes on to have its lines joined, as every import of one does.
    if (r.ok() && !r.loaded.structured)
        vel::joinLineBreaks(r.loaded.text);
    return 0;
}
