#include "ui/file_name_edit.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

#include "config/utils.h"
#include "desktop/qt_text.h"
#include "ui/message_seam.h"

namespace kavrel {
namespace {

// Characters no file name of ours may hold: a dropped name with one of them is refused.
const QString kInvalidChars = QStringLiteral("<>\"[]|");

std::optional<QString> ShowFileDialog(QWidget* parent, const TFileDialogRequest& r) {
    QFileDialog dialog(parent, r.Title, r.StartFolder, r.Filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!r.DefaultSuffix.isEmpty()) dialog.setDefaultSuffix(r.DefaultSuffix);
    if (!r.FileName.isEmpty()) dialog.selectFile(r.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

TFileChooser& Chooser() {
    static TFileChooser chooser = ShowFileDialog;
    return chooser;
}

bool ValidFileName(const QString& name) {
    if (name.isEmpty()) return false;
    for (const QChar c : name) {
        if (kInvalidChars.contains(c) || c == QLatin1Char('*') || c == QLatin1Char('?')) {
            return false;
        }
    }
    return true;
}

}  // namespace

TScopedFileChooser::TScopedFileChooser(TFileChooser chooser) : previous_(std::move(Chooser())) {
    Chooser() = std::move(chooser);
}

TScopedFileChooser::~TScopedFileChooser() { Chooser() = std::move(previous_); }

TFileNameEdit::TFileNameEdit(QWidget* parent) : QLineEdit(parent) {
    browse_ = addAction(QIcon::fromTheme(QStringLiteral("document-open"),
                                         style()->standardIcon(QStyle::SP_DirOpenIcon)),
                        QLineEdit::TrailingPosition);
    browse_->setToolTip(QStringLiteral("Browse (F4)"));
    connect(browse_, &QAction::triggered, this, &TFileNameEdit::DoClick);
    setAcceptDrops(true);
}

void TFileNameEdit::DoClick() {
    TFileDialogRequest request{DialogTitle, Filter, DefaultExt, InitialDir, {}};
    // The text may carry the quotes a path with a blank was given.
    const QString current = ToQString(StripQuotes(FromQString(text())));
    if (!current.isEmpty()) {
        const QFileInfo info(current);
        if (current.contains(QLatin1Char('/')) && info.dir().exists()) {
            request.StartFolder = info.dir().absolutePath();
        }
        if (ValidFileName(info.fileName())) request.FileName = info.fileName();
    }
    if (request.StartFolder.isEmpty()) request.StartFolder = QDir::homePath();
    if (const auto chosen = Chooser()(this, request)) TakeFileName(*chosen);
}

void TFileNameEdit::TakeFileName(const QString& path) {
    InitialDir = QFileInfo(path).absolutePath();
    const bool quote = path.contains(QLatin1Char(' ')) && !path.startsWith(QLatin1Char('"'));
    setText(quote ? QLatin1Char('"') + path + QLatin1Char('"') : path);
}

void TFileNameEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier) {
        DoClick();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TFileNameEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void TFileNameEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragMoveEvent(event);
}

void TFileNameEdit::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        QLineEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) return;
    const QUrl& first = urls.first();
    const QString path = first.isLocalFile() ? first.toLocalFile() : first.toString();
    for (const QChar c : path) {
        if (kInvalidChars.contains(c)) {
            ShowError(this, QStringLiteral("Invalid file name - ") + path);
            return;
        }
    }
    TakeFileName(path);
}

}  // namespace kavrel
