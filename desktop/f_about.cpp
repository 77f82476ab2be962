#include "desktop/f_about.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/qt_text.h"
#include "update/update_hosts.h"

namespace kavrel {
namespace {

const char* const kRightsLine = "Copyright \u00A9 2003 the Kavrel author.";

const char* const kLicense =
    "Kavrel is free software: you may use it without charge, under the terms that follow.\n"
    "\n"
    "You may use Kavrel at home or in your business. It comes with no guarantee that it is fit "
    "for any purpose. You use it at your own risk, and by using it you agree to hold the author "
    "harmless from any damage caused by its use or misuse. Kavrel may be passed on only as a "
    "download from the author's web site.\n"
    "\n"
    "Kavrel keeps your mailbox passwords in plain text in its settings file. Hiding them on the "
    "screen is the only protection it gives them.\n"
    "\n"
    "Questions by e-mail are answered as time permits; there is no other support.\n"
    "\n"
    "Thank you for using Kavrel.\n"
    "\n"
    "    the Kavrel author\n";

// Newest first. Items begin with "  > " and go on indented by four blanks; the headings are
// kept exactly as they were first written, trailing blanks included.
const char* const kHistory =
    "v1.5 - 26 nov 2003\n"
    "  > colours of the message table fixed\n"
    "  > messages can be deleted from the table\n"
    "  > the window position is now saved when\n"
    "    minimized\n"
    "  > updates can be checked for from the Help\n"
    "    menu\n"
    "\n"
    "v1.4 - 24 nov 2003\n"
    "  > the message list is an HTML page instead\n"
    "    of a grid\n"
    "  > the program can show itself when new mail\n"
    "    arrives\n"
    "  > a mail program can be started when new\n"
    "    mail arrives\n"
    "\n"
    "v1.3 - 20 nov 2003\n"
    "  > settings take effect without a restart\n"
    "    (the timer interval used to need one)\n"
    "  > all accounts in the tray icon's tool-tip\n"
    "  > an external mail program can be started\n"
    "  > message preview\n"
    "  > new-mail sounds\n"
    "\n"
    "v1.2 - 16 nov 2003 \n"
    "  > the history in the about box\n"
    "  > only one copy runs at a time\n"
    "  > fixed: the window did not come back after\n"
    "    leaving from the tray menu\n"
    "\n"
    "v1.1 - 15 nov 2003 - initial release \n"
    "  > installer\n"
    "  > the name changed to Kavrel\n"
    "  > the POP password can be hidden\n"
    "  > an improved about box\n"
    "\n"
    "v1.0 - 13 nov 2003  - beta #1\n"
    "\n";

// An envelope in the desktop's highlight colours, on a transparent ground.
QPixmap ProgramPicture(const QPalette& palette) {
    QPixmap picture(64, 64);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor lines = palette.color(QPalette::Active, QPalette::HighlightedText);
    p.setPen(QPen(body.darker(140), 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 14, 56, 38), 4, 4);
    p.setPen(QPen(lines, 2));
    QPainterPath flap;
    flap.moveTo(8, 18);
    flap.lineTo(32, 36);
    flap.lineTo(56, 18);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
    return picture;
}

QPlainTextEdit* Memo(const QString& text, QWidget* page) {
    auto* memo = new QPlainTextEdit(text, page);
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Light));
    memo->setPalette(palette);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo);
    return memo;
}

}  // namespace

TfAbout::TfAbout(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("about Kavrel"));
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);
    setFixedSize(381, 344);

    Image1 = new QLabel(this);
    Image1->setGeometry(8, 4, 73, 53);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(ProgramPicture(palette()));

    labTitle = new QLabel(this);
    labTitle->setGeometry(88, 12, 277, 33);
    labTitle->setWordWrap(true);
    labTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labTitle->setTextFormat(Qt::PlainText);
    labTitle->setText(QString::fromLatin1(kTitlePlaceholder) + u'\n' +
                      QString::fromUtf8(kRightsLine));

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(4, 60, 373, 253);
    auto* license = new QWidget;
    Memo1 = Memo(QString::fromUtf8(kLicense), license);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    PageControl1->addTab(license, QStringLiteral("License and Information"));
    auto* history = new QWidget;
    Memo2 = Memo(QString::fromUtf8(kHistory), history);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(11);
    Memo2->setFont(fixed);
    // The indented item lines are laid out by hand; wrapping would break them.
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    PageControl1->addTab(history, QStringLiteral("History"));
    PageControl1->setCurrentIndex(0);

    labURL = new QLabel(ToQString(WebAddress()), this);
    QFont urlFont = labURL->font();
    urlFont.setUnderline(true);
    labURL->setFont(urlFont);
    labURL->setForegroundRole(QPalette::Link);
    labURL->setCursor(Qt::PointingHandCursor);
    labURL->setTextFormat(Qt::PlainText);
    labURL->move(4, 324);
    // At least its place's width, and never cut: the desktop's font may be wider.
    labURL->resize(std::max(161, labURL->sizeHint().width()), 17);
    labURL->installEventFilter(this);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setGeometry(300, 316, 75, 25);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TfAbout::SetApplicationTitle(const QString& title) {
    QString text = labTitle->text();
    text.replace(QString::fromLatin1(kTitlePlaceholder), title, Qt::CaseInsensitive);
    labTitle->setText(text);
}

void TfAbout::reject() { accept(); }

bool TfAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == labURL && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        labURLClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfAbout::labURLClick() {
    TWaitCursor wait;
    if (Opener) Opener(WebAddress());
    QCoreApplication::processEvents();
}

void actAboutExecute(QWidget* owner) {
    // Parent-owned, so that the owner closing under the open box cannot free it twice.
    QPointer<TfAbout> box = new TfAbout(owner);
    box->SetApplicationTitle(QString::fromLatin1(kProgramTitle));
    // Centred on the screen, not over the owner: moved before it is shown, so that the dialog
    // does not place itself again.
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        box->adjustSize();
        box->move(screen->availableGeometry().center() - box->rect().center());
    }
    box->exec();
    if (box) box->deleteLater();
}

}  // namespace kavrel
