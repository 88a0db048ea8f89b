#include "panelmem/image.h"

#include <cctype>

#include <QFile>
#include <QSaveFile>

#include "link/fileerror.h"

namespace veq::image {

QByteArray imageText(const Bytes& memory) {
    QByteArray out;
    for (int row = 0; row < kSize; row += 16) {
        for (int i = 0; i < 16; ++i) {
            if (i) out += ' ';
            out += QByteArray::number(memory[static_cast<std::size_t>(row + i)], 16)
                       .toUpper()
                       .rightJustified(2, '0');
        }
        out += '\n';
    }
    return out;
}

namespace {

// The hexadecimal digits of a text image, or nothing when the data is no text: a text holds only
// digits, blanks and "#" comments to the end of a line.
std::optional<QByteArray> textDigits(const QByteArray& data) {
    QByteArray digits;
    bool comment = false;
    for (char c : data) {
        if (comment) {
            if (c == '\n') comment = false;
            continue;
        }
        if (c == '#')
            comment = true;
        else if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
        else if (!std::isspace(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    return digits;
}

}  // namespace

std::optional<Bytes> parseImage(const QByteArray& data) {
    Bytes m;
    // A text is read as one whatever its length: a text image cut to 128 characters is no raw
    // image.
    if (const auto digits = textDigits(data)) {
        if (digits->size() != 2 * kSize) return std::nullopt;
        const QByteArray bytes = QByteArray::fromHex(*digits);
        for (int i = 0; i < kSize; ++i)
            m[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bytes.at(i));
        return m;
    }
    if (data.size() == kSize) {
        for (int i = 0; i < kSize; ++i)
            m[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(data.at(i));
        return m;
    }
    return std::nullopt;
}

bool loadImage(const QString& path, Bytes& memory, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = fileErrorText(f);
        return false;
    }
    // Anything much larger than an image is not one: what lies beyond the limit is never taken
    // for a part that does not count.
    const QByteArray data = f.read(kMaxImageFile + 1);
    const auto image = data.size() > kMaxImageFile ? std::nullopt : parseImage(data);
    if (!image) {
        error = QStringLiteral("pas une image mémoire (256 chiffres hexadécimaux, ou 128 octets)");
        if (const auto digits = data.size() > kMaxImageFile ? std::nullopt : textDigits(data))
            error += QStringLiteral(" : texte de %1 chiffres hexadécimaux").arg(digits->size());
        return false;
    }
    memory = *image;
    return true;
}

bool saveImage(const QString& path, const Bytes& memory, QString& error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(imageText(memory)) < 0 || !f.commit()) {
        error = fileErrorText(f);
        return false;
    }
    return true;
}

}  // namespace veq::image
