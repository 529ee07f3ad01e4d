#include "ui/about_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QtGlobal>

#include "app/manual.h"
#include "app/profile.h"
#include "app/string_table.h"

namespace zell {

LinkLabel::LinkLabel(const QString& text, const QUrl& address, QWidget* parent)
    : QLabel(text, parent), address_(address)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(blue);
    setCursor(Qt::UpArrowCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(address_);
    QLabel::mouseReleaseEvent(event);
}

QUrl homePageAddress()
{
    // zell has no web site: the manual installed with it is its home page.
    const std::string manual = findManual(programDirectory(), languageCode(textLanguage()));
    if (!manual.empty())
        return QUrl::fromLocalFile(QString::fromStdString(manual));
    return QUrl::fromLocalFile(QString::fromStdString(programDirectory() + "../share/doc/zell/index.html"));
}

QString mailAddress()
{
    return QStringLiteral(ZELL_CONTACT_ADDRESS);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(loadText(Text::AboutTitle));
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
    auto* name = new QLabel(QString::asprintf(loadText(Text::AboutVersionFormat).toUtf8().constData(), ZELL_VERSION),
                            this);
    auto* notice = new QLabel(
        QString::asprintf(loadText(Text::AboutNoticeFormat).toUtf8().constData(), QT_VERSION_STR, qVersion()), this);
    const QUrl home = homePageAddress();
    home_ = new LinkLabel(home.isLocalFile() ? home.toLocalFile() : home.toString(), home, this);
    mail_ = new LinkLabel(mailAddress(), QUrl(QStringLiteral("mailto:") + mailAddress()), this);
    for (QLabel* label : {static_cast<QLabel*>(home_), static_cast<QLabel*>(mail_), notice})
        label->setTextInteractionFlags(Qt::NoTextInteraction);

    auto* grid = new QGridLayout;
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1, 1, 2);
    grid->addWidget(notice, 1, 1, 1, 2);
    grid->addWidget(home_, 2, 1, 1, 2);
    grid->addWidget(new QLabel(loadText(Text::Email), this), 3, 1);
    grid->addWidget(mail_, 3, 2);
    grid->setColumnStretch(2, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(loadText(Text::Ok));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace zell
