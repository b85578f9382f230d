#include "history/history_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <tuple>

#include "platform/file_writing.h"
#include "platform/qt/file_questions.h"
#include "platform/qt/window_placement.h"
#include "service_record/history_export.h"

namespace orvik::history {

namespace {

using service_record::ServiceRow;

constexpr std::array<const char*, 9> kColumns = {"Time (UTC)", "Tag",       "Change",  "Before", "Written",
                                                 "Measured",   "Reference", "Program", "User"};

// A tag is data: an "&" in it is a character, not a keyboard mnemonic.
QString captionText(const std::string& text) {
  return QString::fromStdString(text).replace('&', "&&");
}

QString countText(std::size_t count) {
  if (count == 0) return "No entries";
  if (count == 1) return "1 entry";
  return QString::number(count) + " entries";
}

QLabel* statusLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);  // a problem may quote a path or a tag
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  label->setWordWrap(true);
  return label;
}

}  // namespace

HistoryWindow::HistoryWindow(RowSource rows, std::optional<std::string> unitTag) : rows_(std::move(rows)) {
  if (unitTag && !unitTag->empty()) unitTag_ = std::move(unitTag);
  setObjectName("frmHistory");
  setWindowTitle(kHistoryTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  resize(960, 440);
  // A main window of its own, so that assistive tools list it as a window beside the main one.
  auto* content = new QWidget(this);
  setCentralWidget(content);

  onlyThisUnit_ = new QCheckBox(content);
  onlyThisUnit_->setObjectName("chkOnlyThisUnit");
  onlyThisUnit_->setAccessibleDescription("Show only the connected unit's entries; unchecked, every unit's");
  // Created in the order they stand, left to right, so that Tab visits them so.
  undoButton_ = new QPushButton("Restore the &value before this trim", content);
  undoButton_->setObjectName("cmdUndoTrim");
  undoButton_->setAccessibleName("Restore the value before this trim");
  undoButton_->setAccessibleDescription("Write back the value the selected trim replaced");
  undoButton_->setEnabled(false);
  auto* refreshButton = new QPushButton("&Refresh", content);
  refreshButton->setObjectName("cmdRefresh");
  refreshButton->setAccessibleName("Refresh");
  refreshButton->setAccessibleDescription("Read the service record again (F5)");
  exportButton_ = new QPushButton("Export &CSV...", content);
  exportButton_->setObjectName("cmdExportCsv");
  exportButton_->setAccessibleName("Export CSV");
  exportButton_->setAccessibleDescription("Save the entries shown as a CSV file");

  table_ = new QTableWidget(0, static_cast<int>(kColumns.size()), content);
  table_->setObjectName("tblHistory");
  table_->setAccessibleName("Service history");
  QStringList headings;
  for (const char* heading : kColumns)
    headings << heading;
  table_->setHorizontalHeaderLabels(headings);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setSortingEnabled(false);
  table_->setTabKeyNavigation(false);  // Tab leaves the table, as it does every other control
  table_->setWordWrap(false);
  table_->verticalHeader()->setVisible(false);
  // Columns as wide as their text (the header measures at most its first thousand rows); the last takes the
  // rest.
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);

  problemLabel_ = statusLabel("lblProblem", content);
  problemLabel_->setAccessibleName("Problem");
  problemLabel_->setVisible(false);
  countLabel_ = statusLabel("lblCount", content);
  countLabel_->setAccessibleName("Entries shown");

  auto* controls = new QHBoxLayout;
  controls->addWidget(onlyThisUnit_);
  controls->addStretch();
  controls->addWidget(undoButton_);
  controls->addWidget(refreshButton);
  controls->addWidget(exportButton_);
  auto* layout = new QVBoxLayout(content);
  layout->addLayout(controls);
  layout->addWidget(table_, 1);
  layout->addWidget(problemLabel_);
  layout->addWidget(countLabel_);
  table_->setFocus();

  chooseFile = [this](const QString& title, const QString& suggestedName, const QString& filter) {
    const QString file = platform::qt::askSaveFile(this, title, suggestedName, filter);
    activateWindow();  // the keyboard back, also where no window manager runs
    return file;
  };
  showUnitTag();
  connect(onlyThisUnit_, &QCheckBox::toggled, this, [this] { refresh(); });
  connect(refreshButton, &QPushButton::clicked, this, [this] { refresh(); });
  connect(exportButton_, &QPushButton::clicked, this, [this] { exportCsv(); });
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { showUndoState(); });
  connect(undoButton_, &QPushButton::clicked, this, [this] {
    if (const ServiceRow* trim = selectedTrim(); trim != nullptr && onUndo) onUndo(trim->id);
  });
}

void HistoryWindow::showUnitTag() {
  const QSignalBlocker quiet(onlyThisUnit_);
  if (unitTag_) {
    onlyThisUnit_->setText("&Only this unit (" + captionText(*unitTag_) + ")");
    onlyThisUnit_->setEnabled(true);
    onlyThisUnit_->setChecked(true);
  } else {
    onlyThisUnit_->setText("&Only the connected unit (not known yet)");
    onlyThisUnit_->setChecked(false);
    onlyThisUnit_->setEnabled(false);
  }
}

void HistoryWindow::setUnitTag(std::optional<std::string> unitTag) {
  if (unitTag && unitTag->empty()) unitTag.reset();
  // The same unit keeps the filter as the user left it; another unit starts on its own rows.
  if (unitTag != unitTag_) {
    unitTag_ = std::move(unitTag);
    showUnitTag();
  }
  if (isVisible()) refresh();
}

bool HistoryWindow::onlyThisUnit() const {
  return onlyThisUnit_->isChecked();
}

void HistoryWindow::setOnlyThisUnit(bool only) {
  onlyThisUnit_->setChecked(only && unitTag_);
}

void HistoryWindow::refresh() {
  std::string problem;
  shown_ = rows_(onlyThisUnit() ? unitTag_ : std::nullopt, &problem);
  // Times are stored as fixed-width UTC text, so they sort as they read; the record's own order breaks ties.
  std::stable_sort(shown_.begin(), shown_.end(), [](const ServiceRow& a, const ServiceRow& b) {
    return std::tie(a.at, a.id) > std::tie(b.at, b.id);
  });
  fillTable();
  problemLabel_->setText(
      problem.empty() ? QString() : "The service record cannot be read: " + QString::fromStdString(problem));
  problemLabel_->setVisible(!problem.empty());
  // What could not be read is not an empty history: no CSV of it until the record reads again.
  exportButton_->setEnabled(problem.empty());
  const QString count = countText(shown_.size());
  countLabel_->setText(count);
  showUndoState();
  table_->setAccessibleDescription(problem.empty() ? count : count + ". " + problemLabel_->text());
}

void HistoryWindow::fillTable() {
  // The selected entry stays selected when it is still shown, so a refresh does not lose the reader's place.
  std::int64_t selectedId = 0;
  const QModelIndexList selected = table_->selectionModel()->selectedRows();
  if (!selected.isEmpty())
    selectedId = table_->item(selected.front().row(), 0)->data(Qt::UserRole).toLongLong();

  table_->setRowCount(0);
  table_->setRowCount(static_cast<int>(shown_.size()));
  int selectRow = -1;
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    const ServiceRow& r = shown_[i];
    const std::string change = service_record::RowTitle(r);
    const std::array<std::string_view, kColumns.size()> texts = {
        r.at, r.tag, change, r.before, r.written, r.measured, r.reference, r.program, r.user};
    const int row = static_cast<int>(i);
    for (std::size_t c = 0; c < texts.size(); ++c) {
      // Item text is drawn as plain text: a tag "<b>x</b>" shows those characters.
      auto* item =
          new QTableWidgetItem(QString::fromUtf8(texts[c].data(), static_cast<qsizetype>(texts[c].size())));
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      table_->setItem(row, static_cast<int>(c), item);
    }
    table_->item(row, 0)->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(r.id));
    if (selectedId != 0 && r.id == selectedId) selectRow = row;
  }
  // Otherwise the newest entry is selected, so the keyboard starts on a row the buttons can act on.
  if (selectRow < 0 && !shown_.empty()) selectRow = 0;
  if (selectRow >= 0) table_->selectRow(selectRow);
}

const ServiceRow* HistoryWindow::selectedTrim() const {
  const QModelIndexList selected = table_->selectionModel()->selectedRows();
  if (selected.size() != 1) return nullptr;
  const auto index = static_cast<std::size_t>(selected.front().row());
  if (index >= shown_.size()) return nullptr;  // mid-refill: the table is ahead of or behind the rows
  const ServiceRow& row = shown_[index];
  // Without the controller bytes of the value before, there is nothing exact to write back.
  return service_record::Undoable(row) ? &row : nullptr;
}

void HistoryWindow::showUndoState() {
  undoButton_->setEnabled(selectedTrim() != nullptr);
}

void HistoryWindow::exportCsv() {
  const QString file = chooseFile("Export CSV", "orvik-service-history.csv", "CSV files (*.csv)");
  if (file.isEmpty()) return;
  const std::string problem =
      platform::WriteFileWhole(QFile::encodeName(file).toStdString(), service_record::HistoryCsv(shown_));
  if (problem.empty()) return;
  QMessageBox box(QMessageBox::Warning, kHistoryTitle,
                  "The history cannot be saved to " + file + ":\n" + QString::fromStdString(problem) + ".",
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);  // the path is the user's, not markup
  box.exec();
}

void HistoryWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      close();
      return;
    case Qt::Key_F5:
      refresh();
      return;
    default:
      QMainWindow::keyPressEvent(event);
  }
}

void HistoryWindow::showEvent(QShowEvent* event) {
  // Shown by the program (not restored by the window system): the record may have grown since.
  if (!event->spontaneous()) refresh();
  // The style's size for the long caption leaves its last letters cut off with some fonts: a little room
  // to spare, measured in the font it is shown in.
  undoButton_->setMinimumWidth(undoButton_->sizeHint().width() +
                               2 * undoButton_->fontMetrics().averageCharWidth());
  QMainWindow::showEvent(event);
}

HistoryWindowOpener::~HistoryWindowOpener() {
  delete window_.data();
}

void HistoryWindowOpener::open() {
  const bool opening = window_.isNull();
  if (opening) {
    window_ = new HistoryWindow(rows_, unitTag_());
    window_->onUndo = onUndo;
  } else {
    window_->setUnitTag(unitTag_());
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
  }
  platform::qt::showFromActiveWindow(*window_, opening);
}

}  // namespace orvik::history
