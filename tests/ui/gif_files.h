// Small GIF files for the UI tests: a width x 1 picture of colour 0 with a
// global or a local table of 2^bits entries, entry i (i, i, 255 - i) but
// entry 0's red `red`.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include "support/test_document.h"

namespace zell::test {

inline QByteArray tinyGif(int bits, bool local, uint8_t red = 0x10, uint16_t width = 1)
{
    std::vector<uint32_t> table;
    for (uint32_t i = 0; i < (1u << bits); ++i)
        table.push_back((255 - i) << 16 | i << 8 | (i == 0 ? red : i));
    DocumentBuilder b;
    b.screen(width, 1);
    if (local) {
        b.add(width, 1, table, std::vector<uint8_t>(width, 0));
    } else {
        b.globalTable(table);
        b.addGlobal(width, 1, std::vector<uint8_t>(width, 0));
    }
    const std::vector<uint8_t> gif = exportedGif(b.document);
    return QByteArray(reinterpret_cast<const char*>(gif.data()), qsizetype(gif.size()));
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

} // namespace zell::test
