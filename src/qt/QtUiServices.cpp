#include "qt/QtUiServices.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "qt/DialogView.h"
#include "qt/QtMessageLoop.h"

namespace varnel::qt {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon BoxIcon(uint32_t style) {
  switch (style & ui::mb::kIconMask) {
    case ui::mb::kIconError:
      return QMessageBox::Critical;
    case ui::mb::kIconQuestion:
      return QMessageBox::Question;
    case ui::mb::kIconWarning:
      return QMessageBox::Warning;
    case ui::mb::kIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons BoxButtons(uint32_t style) {
  switch (style & ui::mb::kButtonMask) {
    case ui::mb::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case ui::mb::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case ui::mb::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    default:
      return QMessageBox::Ok;
  }
}

ui::DialogResult BoxResult(int button, uint32_t style) {
  switch (button) {
    case QMessageBox::Ok:
      return ui::DialogResult::OK;
    case QMessageBox::Cancel:
      return ui::DialogResult::Cancel;
    case QMessageBox::Yes:
      return ui::DialogResult::Yes;
    case QMessageBox::No:
      return ui::DialogResult::No;
    default:
      break;
  }
  return ui::mb::DismissedAnswer(style);
}

std::string ToLocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString FromLocalPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

void Prepare(QFileDialog& dialog, const ui::FileDialogRequest& request) {
  if (!request.title.empty()) dialog.setWindowTitle(FromUtf8(request.title));
  const QStringList filters = ToQtNameFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!request.initialFolder.empty()) dialog.setDirectory(FromLocalPath(request.initialFolder));
  if (!request.initialFileName.empty()) dialog.selectFile(FromLocalPath(request.initialFileName));
  dialog.setDefaultSuffix(ToDefaultSuffix(request.defaultExtension));
}

}  // namespace

QStringList ToQtNameFilters(std::string_view filter) {
  QStringList parts = FromUtf8(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QString patterns = parts[i + 1].trimmed();
    if (description.isEmpty() && patterns.isEmpty()) break;  // the closing "||"
    QStringList qtPatterns;
    for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
      const QString p = pattern.trimmed();
      qtPatterns << (p == QStringLiteral("*.*") ? QStringLiteral("*") : p);
    }
    if (qtPatterns.isEmpty()) qtPatterns << QStringLiteral("*");
    // Qt reads the patterns from the last parentheses; a description that
    // already shows its patterns would otherwise show them twice.
    if (description.endsWith(u')')) {
      const qsizetype open = description.lastIndexOf(u'(');
      if (open >= 0) description = description.left(open).trimmed();
    }
    if (description.isEmpty()) description = qtPatterns.join(u' ');
    filters << QStringLiteral("%1 (%2)").arg(description, qtPatterns.join(u' '));
  }
  return filters;
}

QString ToDefaultSuffix(std::string_view extension) {
  QString suffix = FromUtf8(extension).trimmed();
  while (suffix.startsWith(u'*') || suffix.startsWith(u'.')) suffix.remove(0, 1);
  return suffix;
}

QtUiServices::~QtUiServices() {
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

QWidget* QtUiServices::ModalParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

ui::DialogResult QtUiServices::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  QMessageBox box(BoxIcon(style), FromUtf8(caption), FromUtf8(text), BoxButtons(style), ModalParent());
  // Messages quote file names and labels as typed; never read them as markup.
  box.setTextFormat(Qt::PlainText);
  box.setObjectName(QStringLiteral("messageBox"));
  const bool yes =
      (style & ui::mb::kButtonMask) == ui::mb::kYesNo || (style & ui::mb::kButtonMask) == ui::mb::kYesNoCancel;
  box.setDefaultButton(yes ? QMessageBox::Yes : QMessageBox::Ok);
  const int answer = box.exec();
  return BoxResult(answer, style);
}

std::optional<std::vector<std::string>> QtUiServices::OpenFileDialog(const ui::FileDialogRequest& request) {
  QFileDialog dialog(ModalParent());
  dialog.setObjectName(QStringLiteral("openFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (request.options & ui::fd::kAllowMultiSelect) {
    dialog.setFileMode(QFileDialog::ExistingFiles);
  } else if (request.options & ui::fd::kFileMustExist) {
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setFileMode(QFileDialog::AnyFile);
  }
  Prepare(dialog, request);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> files;
  for (const QString& file : dialog.selectedFiles()) files.push_back(ToLocalPath(file));
  if (files.empty()) return std::nullopt;
  return files;
}

std::optional<std::string> QtUiServices::SaveFileDialog(const ui::FileDialogRequest& request) {
  QFileDialog dialog(ModalParent());
  dialog.setObjectName(QStringLiteral("saveFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.options & ui::fd::kOverwritePrompt) == 0);
  Prepare(dialog, request);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return ToLocalPath(files.front());
}

ui::DialogResult QtUiServices::RunModal(ui::Dialog& dialog) {
  DialogView view(dialog, ModalParent());
  if (loop_) {
    QObject::connect(loop_, &QtMessageLoop::Delivered, &view.Widget(), &DialogWidget::CheckEnded);
  }
  if (configurator_) configurator_(dialog, view);
  return view.Run();
}

void QtUiServices::SetWaitCursor(bool on) {
  if (on == waitCursor_) return;
  waitCursor_ = on;
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace varnel::qt
