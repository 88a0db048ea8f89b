// A memory image file of any bytes: the reader takes it or refuses it; an image taken, written
// back as text and read again gives the same 128 bytes; 128 bytes that are no text are taken as
// they are, and 128 bytes of text (too few for 256 digits) are refused.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "panelmem/image.h"

using namespace veq;

namespace {

// Only hexadecimal digits, blanks and "#" comments to the end of a line.
bool isText(const std::uint8_t* data, std::size_t size) {
    bool comment = false;
    for (std::size_t i = 0; i < size; ++i) {
        const int c = data[i];
        if (comment)
            comment = c != '\n';
        else if (c == '#')
            comment = true;
        else if (!std::isxdigit(c) && !std::isspace(c))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<image::Bytes> m = image::parseImage(bytes);
    // 128 bytes hold too few characters for a text image: text is refused, the rest is raw.
    if (size == image::kSize && isText(data, size) && m) std::abort();
    if (size == image::kSize && !isText(data, size) &&
        (!m || std::memcmp(m->data(), data, size) != 0))
        std::abort();
    if (!m) return 0;

    const QByteArray text = image::imageText(*m);
    if (text.count('\n') != image::kSize / 16 || text.size() != 3 * image::kSize) std::abort();
    const std::optional<image::Bytes> back = image::parseImage(text);
    if (!back || *back != *m) std::abort();
    return 0;
}
