// FilePicker (TPXPICKFILE2): a file name box with a browse button.
//
// The screens need to know not only the name but whether it can be used: `FileValid` is
// true when the file exists or could be created, which is what decides whether an
// experiment's data will be saved.
#pragma once

#include <QWidget>

#include "core/operator.h"

class QLineEdit;
class QToolButton;

namespace tarnwell {

class FilePicker : public QWidget {
  Q_OBJECT
 public:
  enum class Mode { Open, Save };

  explicit FilePicker(QWidget* parent = nullptr);

  void SetOperator(Operator* op) { operator_ = op; }
  // The dialog the browse button opens (title, filter, default extension, folder).
  void SetDialog(const FileDialogRequest& request, Mode mode);

  QString FileName() const;
  void SetFileName(const QString& name);
  bool FileValid() const;

  QLineEdit* Edit() const { return edit_; }
  QToolButton* BrowseButton() const { return browse_; }

 signals:
  // A file chosen in the dialog or typed and confirmed with Enter.
  void FileChosen(const QString& path);

 private:
  void Browse();

  Operator* operator_ = nullptr;
  FileDialogRequest request_;
  Mode mode_ = Mode::Open;
  QLineEdit* edit_;
  QToolButton* browse_;
};

}  // namespace tarnwell
