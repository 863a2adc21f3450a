// Feeds arbitrary bytes to every postal data reader, then looks up with
// slices of the same bytes as typed text.
#include "core/lookup/PostalReaders.h"
#include "core/lookup/PostalSearch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the reader; the rest is the file.
    const auto format = PostalReaders::Format(data[0] % 4);
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    PostalDictionary dict;
    switch (format) {
    case PostalReaders::Format::SkkTowns: PostalReaders::readSkkTowns(bytes, dict); break;
    case PostalReaders::Format::SkkOffices: PostalReaders::readSkkOffices(bytes, dict); break;
    case PostalReaders::Format::KenAll: PostalReaders::readKenAll(bytes, dict); break;
    case PostalReaders::Format::Jigyosyo: PostalReaders::readJigyosyo(bytes, dict); break;
    }
    dict.finish();
    const QString text = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 200)));
    const auto result = PostalSearch::run(dict, text.left(9), text, text.mid(3, 20));
    for (const auto &c : result.candidates)
        (void)PostalSearch::choose(dict, result, c, text);
    for (quint32 e = 0; e < quint32(dict.size()); ++e) {
        const QString code = QString::number(dict.code(e)).rightJustified(7, u'0');
        (void)dict.findCode(code, 10);
        (void)dict.findAddress(QString(dict.address(e) + text.left(10)));
    }
    return 0;
}
