#include "ui/display_text.h"

#include <QStringDecoder>

namespace zell {

QString displayText(const std::string& bytes)
{
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    QStringDecoder sjis("Shift_JIS");
    if (sjis.isValid()) {
        text = sjis.decode(view);
        if (!sjis.hasError())
            return text;
    }
    return QString::fromLatin1(view);
}

} // namespace zell
