// A memory image file of any bytes: the reader takes it or refuses it; an image taken, written
// back as text and read again gives the same 128 bytes, and 128 bytes that are no text image are
// taken as they are.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "panelmem/image.h"

using namespace veq;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<image::Bytes> m = image::parseImage(bytes);
    // 128 bytes hold too few characters for a text image: they are always the raw form.
    if (size == image::kSize && (!m || std::memcmp(m->data(), data, size) != 0)) std::abort();
    if (!m) return 0;

    const QByteArray text = image::imageText(*m);
    if (text.count('\n') != image::kSize / 16 || text.size() != 3 * image::kSize) std::abort();
    const std::optional<image::Bytes> back = image::parseImage(text);
    if (!back || *back != *m) std::abort();
    return 0;
}
