// Feeds arbitrary bytes to the reader of the compiled dictionary: as a whole
// file (header, key and checksum checked), and sealed with a right checksum
// so that the bounds checks behind it are reached; whatever it accepts must
// then answer every kind of lookup safely.
#include "core/lookup/PostalCache.h"
#include "core/lookup/PostalSearch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray key("fuzz");
    // The first byte picks the way in; the rest is the file or its payload.
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const auto dict = data[0] % 2 == 0 ? PostalCache::read(bytes, key) : PostalCache::read(PostalCache::seal(bytes, key), key);
    if (!dict)
        return 0;
    const QString text = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 60)));
    const auto result = PostalSearch::run(*dict, text.left(7), text, text.mid(3, 10));
    for (const auto &c : result.candidates)
        (void)PostalSearch::choose(*dict, result, c, text);
    for (quint32 e = 0; e < quint32(std::min<qsizetype>(dict->size(), 200)); ++e) {
        (void)dict->findCode(QString::number(dict->code(e)).rightJustified(7, u'0'), 10);
        (void)dict->findAddress(dict->address(e).toString());
        (void)dict->completeAddress(dict->address(e).left(4).toString(), 10);
        (void)dict->findOffice(dict->officeName(e).left(3).toString(), 10);
        (void)dict->note(e);
    }
    return 0;
}
