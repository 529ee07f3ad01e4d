#include "ui/comment_edit.h"

#include <QMimeData>

namespace zell {

CommentEdit::CommentEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
    setSevenBit(true);
}

void CommentEdit::setSevenBit(bool on)
{
    sevenBit_ = on;
    setAttribute(Qt::WA_InputMethodEnabled, !on);
}

QString CommentEdit::singleByteOnly(const QString& text)
{
    QString out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F))
            out += c;
    }
    return out;
}

void CommentEdit::insertFromMimeData(const QMimeData* source)
{
    if (!sevenBit_) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QString text = singleByteOnly(source ? source->text() : QString());
    if (!text.isEmpty())
        textCursor().insertText(text); // one undoable edit
}

} // namespace zell
