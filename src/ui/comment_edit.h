// The comment field. In 7-bit mode (the GIF format's rule for comments) it
// has no input method and a paste drops every double-byte character; typed
// text is never filtered.
#pragma once

#include <QPlainTextEdit>

namespace zell {

class CommentEdit final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CommentEdit(QWidget* parent = nullptr);

    void setSevenBit(bool on);
    bool sevenBit() const { return sevenBit_; }
    // What a paste keeps in 7-bit mode: the characters that are one byte in
    // the Japanese code page (ASCII and half-width katakana).
    static QString singleByteOnly(const QString& text);
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool sevenBit_ = true;
};

} // namespace zell
