#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message box of the program goes through here, so that tests can answer the question
// without a person: a test installs a responder that records the question and returns a
// scripted answer.
namespace kavrel {

enum class TMessageKind { Information, Error, Question };

struct TMessageRequest {
    TMessageKind Kind;
    QString Title;
    QString Text;
};

// Returns true for "Yes" (and for OK).
using TMessageResponder = std::function<bool(QWidget* parent, const TMessageRequest&)>;

// Replaces the responder for the life of the guard; the default shows a QMessageBox.
class TScopedMessageResponder {
  public:
    explicit TScopedMessageResponder(TMessageResponder responder);
    ~TScopedMessageResponder();
    TScopedMessageResponder(const TScopedMessageResponder&) = delete;
    TScopedMessageResponder& operator=(const TScopedMessageResponder&) = delete;

  private:
    TMessageResponder previous_;
};

void ShowMessage(QWidget* parent, const QString& text);
void ShowMessage(QWidget* parent, const QString& title, const QString& text);
void ShowError(QWidget* parent, const QString& text);
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);

}  // namespace kavrel
