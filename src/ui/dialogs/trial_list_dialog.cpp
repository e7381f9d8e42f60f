#include "ui/dialogs/trial_list_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarnwell {

namespace {

QTableWidgetItem* Cell(const std::string& text, bool editable) {
  auto* item = new QTableWidgetItem(QString::fromStdString(text));
  if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

}  // namespace

TrialListDialog::TrialListDialog(const std::vector<TrialListEntry>& rows, const QString& dataFileName,
                                 QWidget* parent)
    : QDialog(parent) {
  setObjectName("frmTrialList");
  setWindowTitle("Trial List");
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(
      "Group, treatment and start position of each subject of " + dataFileName +
          ".\nThe run records the platform position; the study reads them all (its sheets' values win).",
      this);
  caption->setObjectName("lblTrialList");
  caption->setWordWrap(true);
  layout->addWidget(caption);
  table_ = new QTableWidget(static_cast<int>(rows.size()), kColumnCount, this);
  table_->setObjectName("grdTrialList");
  table_->setHorizontalHeaderLabels({"Subject", "Group", "Treatment", "Start Position", "Platform Position"});
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const TrialListEntry& row = rows[static_cast<size_t>(r)];
    table_->setItem(r, kSubject, Cell(row.Subject, false));
    table_->setItem(r, kGroup, Cell(row.Group, true));
    table_->setItem(r, kTreatment, Cell(row.Treatment, true));
    table_->setItem(r, kStartPosition, Cell(row.StartPosition, true));
    table_->setItem(r, kPlatformPosition, Cell(row.PlatformPosition, false));
  }
  layout->addWidget(table_, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("btnTrialList");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, 400);
}

std::vector<TrialListEdit> TrialListDialog::Edits() const {
  std::vector<TrialListEdit> edits;
  auto text = [this](int row, int column) {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? item->text().toStdString() : std::string();
  };
  for (int r = 0; r < table_->rowCount(); ++r)
    edits.push_back({text(r, kSubject), text(r, kGroup), text(r, kTreatment), text(r, kStartPosition)});
  return edits;
}

}  // namespace tarnwell
