#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "core/program_title.h"
#include "desktop/shell_open.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace kavrel {

// The about box: title and rights line, terms of use, version history, and the maker's web
// address (WebAddress, which the settings file may point elsewhere).
class TfAbout : public QDialog {
    Q_OBJECT

  public:
    static constexpr char kTitlePlaceholder[] = "##APPLICATION_TITLE##";

    explicit TfAbout(QWidget* owner = nullptr);

    // Replaces every placeholder in the title label, in any letter case, by title.
    void SetApplicationTitle(const QString& title);

    // Opens the web address; tests give it a recorder.
    TShellOpener Opener = OpenWithShell;

    QLabel* Image1;
    QLabel* labTitle;
    QTabWidget* PageControl1;
    QPlainTextEdit* Memo1;
    QPlainTextEdit* Memo2;
    QLabel* labURL;
    QPushButton* btnClose;

  public slots:
    // Esc is the Close button's key, and Close always answers OK.
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void labURLClick();
};

// The main window's "&About": shows the box modally over owner and returns once it is closed.
void actAboutExecute(QWidget* owner);

}  // namespace kavrel
