#include "ui/message_seam.h"

#include <QApplication>
#include <QMessageBox>

namespace kavrel {
namespace {

// Texts break lines with CR LF or a CR alone; the box breaks them at LF only.
QString ShownText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

bool ShowBox(QWidget* parent, const TMessageRequest& r) {
    const QString text = ShownText(r.Text);
    switch (r.Kind) {
        case TMessageKind::Question:
            return QMessageBox::question(parent, r.Title, text,
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        case TMessageKind::Error:
            QMessageBox::critical(parent, r.Title, text);
            return true;
        case TMessageKind::Information:
            QMessageBox::information(parent, r.Title, text);
            return true;
    }
    return false;
}

TMessageResponder& Responder() {
    static TMessageResponder responder = ShowBox;
    return responder;
}

QString Title() { return QApplication::applicationDisplayName(); }

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
