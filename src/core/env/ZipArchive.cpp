#include "ZipArchive.h"

namespace ZipArchive {

Opened open(QByteArrayView bytes)
{
    Opened opened;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *source = zip_source_buffer_create(bytes.data(), zip_uint64_t(bytes.size()), 0, &ze);
    zip_t *za = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &ze) : nullptr;
    if (!za) {
        if (source)
            zip_source_free(source);
        opened.errorCode = zip_error_code_zip(&ze);
        opened.errorText = QString::fromUtf8(zip_error_strerror(&ze));
    }
    zip_error_fini(&ze);
    opened.archive.reset(za);
    return opened;
}

} // namespace ZipArchive
