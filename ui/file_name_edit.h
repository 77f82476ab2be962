#pragma once

#include <QLineEdit>
#include <QString>
#include <functional>
#include <optional>

class QAction;

// A text box for a file name with a browse button at its right end (F4 does the same) that
// also takes a file dropped onto it.
namespace kavrel {

struct TFileDialogRequest {
    QString Title;
    QString Filter;
    QString DefaultSuffix;  // empty: none
    QString StartFolder;
    QString FileName;  // preset in the dialog; empty: none
};

// Returns the chosen path, or nothing when the user cancelled.
using TFileChooser =
    std::function<std::optional<QString>(QWidget* parent, const TFileDialogRequest&)>;

// Replaces the file-open dialog for the life of the guard, so that tests can choose a file
// without a person.
class TScopedFileChooser {
  public:
    explicit TScopedFileChooser(TFileChooser chooser);
    ~TScopedFileChooser();
    TScopedFileChooser(const TScopedFileChooser&) = delete;
    TScopedFileChooser& operator=(const TScopedFileChooser&) = delete;

  private:
    TFileChooser previous_;
};

class TFileNameEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit TFileNameEdit(QWidget* parent = nullptr);

    QString DialogTitle;
    QString Filter;
    QString DefaultExt;
    // Where the next browse starts when the box's text names no existing folder.
    QString InitialDir;

    QAction* BrowseAction() const { return browse_; }
    // Opens the file-open dialog; a confirmed choice replaces the text.
    void DoClick();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // A path with a blank goes in double quotes, so that it stays one word on a command line.
    void TakeFileName(const QString& path);

    QAction* browse_;
};

}  // namespace kavrel
