#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "desktop/shell_open.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace kavrel {

// The program's title: the main window's caption and the about box's first line.
inline constexpr char kProgramTitle[] = "Kavrel v1.5";
inline constexpr char kWebAddress[] = "https://kavrel.example.org/";

// The about box: title and rights line, terms of use, version history, and the web address.
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
