// Small GIF files written byte by byte for the UI tests: one 1 x 1 image of
// colour 0 with a global or a local table of 2^bits entries.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace zell::test {

inline QByteArray tinyGif(int bits, bool local, uint8_t red = 0x10, uint16_t width = 1)
{
    const int entries = 1 << bits;
    QByteArray table;
    for (int i = 0; i < entries; ++i)
        table.append(char(i == 0 ? red : i)).append(char(i)).append(char(255 - i));
    auto u16 = [](QByteArray& b, uint16_t v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    QByteArray gif("GIF89a");
    u16(gif, width);
    u16(gif, 1);
    gif.append(char(local ? 0 : 0x80 | (bits - 1))).append('\0').append('\0');
    if (!local)
        gif.append(table);
    gif.append(',');
    u16(gif, 0);
    u16(gif, 0);
    u16(gif, 1);
    u16(gif, 1);
    gif.append(char(local ? 0x80 | (bits - 1) : 0));
    if (local)
        gif.append(table);
    // One pixel of index 0: clear, 0, end at the smallest code size that
    // holds the table.
    if (bits <= 2)
        gif.append(QByteArray("\x02\x02\x44\x01\x00", 5));
    else
        gif.append(QByteArray("\x08\x04\x00\x01\x04\x04\x00", 7));
    gif.append(';');
    return gif;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

} // namespace zell::test
