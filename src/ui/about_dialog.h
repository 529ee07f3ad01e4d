// The about box: name, version, notice, licence, the Qt it runs on, and two
// links (the manual that stands in for a home page, and the e-mail address).
#pragma once

#include <QDialog>
#include <QLabel>
#include <QUrl>

namespace zell {

// A link drawn as the classic underlined pure-blue text; a click opens its
// address, silently.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, const QUrl& address, QWidget* parent = nullptr);
    QUrl address() const { return address_; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QUrl address_;
};

// Where the home-page command and the about box point.
QUrl homePageAddress();
QString mailAddress();

class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    LinkLabel* homeLink() const { return home_; }
    LinkLabel* mailLink() const { return mail_; }

private:
    LinkLabel* home_;
    LinkLabel* mail_;
};

} // namespace zell
