#include "ui/message_seam.h"

#include <QMessageBox>

#include "core/program_title.h"

namespace kavrel {
namespace {

// A lone CR is a line break in our texts ("subject of \r" + subject); the box wants LF.
QString ForDisplay(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

bool ShowBox(QWidget* parent, const TMessageRequest& r) {
    QMessageBox box(parent);
    box.setWindowTitle(r.Title);
    // Subjects and server texts come from outside: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(ForDisplay(r.Text));
    switch (r.Kind) {
        case TMessageKind::Question:
            box.setIcon(QMessageBox::Question);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            return box.exec() == QMessageBox::Yes;
        case TMessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case TMessageKind::Information:
            box.setIcon(QMessageBox::Information);
            break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return true;
}

TMessageResponder& Responder() {
    static TMessageResponder responder = ShowBox;
    return responder;
}

QString Title() { return QString::fromUtf8(kProgramTitle); }

}  // namespace

TScopedMessageResponder::TScopedMessageResponder(TMessageResponder responder)
    : previous_(std::move(Responder())) {
    Responder() = std::move(responder);
}

TScopedMessageResponder::~TScopedMessageResponder() { Responder() = std::move(previous_); }

void ShowMessage(QWidget* parent, const QString& text) {
    Responder()(parent, {TMessageKind::Information, Title(), text});
}

void ShowMessage(QWidget* parent, const QString& title, const QString& text) {
    Responder()(parent, {TMessageKind::Information, title, text});
}

void ShowError(QWidget* parent, const QString& text) {
    Responder()(parent, {TMessageKind::Error, Title(), text});
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text) {
    return Responder()(parent, {TMessageKind::Question, title, text});
}

}  // namespace kavrel
