#include "verificationlogdialog.h"

#include "capability.h"
#include "database.h"
#include "filedialog.h"
#include "messagebox.h"
#include "specificationlimits.h"
#include "specificationreport.h"
#include "verificationchartview.h"
#include "verificationlog.h"
#include "verificationreport.h"
#include "verificationresults.h"
#include "verificationrows.h"
#include "verificationschedule.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
const QString CSV_FILTER = QStringLiteral("Comma Separated File (*.csv)");
const QString PDF_FILTER = QStringLiteral("Adobe PDF files (*.pdf)");
// The columns typed into: the retest column is not entered here yet.
const int ENTRY_COLUMNS = TVerificationResults::COLUMN_ERROR + 1;
const int COLUMN_MPE = ENTRY_COLUMNS;
const int COLUMN_ZONE = COLUMN_MPE + 1;

QPushButton *New_Button(const QString &text, const QString &name, QWidget *parent)
{
  QPushButton *button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QTableWidget *New_Table(const QStringList &header, const QString &name, QWidget *parent)
{
  QTableWidget *table = new QTableWidget(0, header.size(), parent);
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(header);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

QTableWidgetItem *New_Item(const QString &text, bool editable)
{
  QTableWidgetItem *item = new QTableWidgetItem(text);
  if (!editable)
  {
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  }
  return item;
}

// A zone or verdict shown in its colour on a pale ground of it.
void Colour_Item(QTableWidgetItem *item, const QColor &colour)
{
  item->setForeground(colour.darker(120));
  item->setBackground(QColor(colour.red(), colour.green(), colour.blue(), 40));
}

QString Coloured(const QString &text, const QColor &colour)
{
  return QStringLiteral("<span style=\"color:%1\">%2</span>")
      .arg(colour.name(), text.toHtmlEscaped());
}
} // namespace

TVerificationLogDialog::TVerificationLogDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
  setWindowTitle(QStringLiteral("Verification Log"));
  resize(1320, 820);
  QVBoxLayout *layout = new QVBoxLayout(this);

  d_machine_label = new QLabel(this);
  d_machine_label->setObjectName(QStringLiteral("machine_label"));
  d_machine_label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 12pt"));
  layout->addWidget(d_machine_label);

  // The intervals and what is due.
  QHBoxLayout *schedule_layout = new QHBoxLayout();
  d_reverification_spin = new QSpinBox(this);
  d_reverification_spin->setObjectName(QStringLiteral("reverification_spin"));
  d_reverification_spin->setRange(0, 1200);
  d_reverification_spin->setSpecialValueText(QStringLiteral("none"));
  d_interim_spin = new QSpinBox(this);
  d_interim_spin->setObjectName(QStringLiteral("interim_spin"));
  d_interim_spin->setRange(0, 36500);
  d_interim_spin->setSpecialValueText(QStringLiteral("none"));
  QPushButton *schedule_button =
      New_Button(QStringLiteral("Save Schedule"), QStringLiteral("save_schedule_button"), this);
  schedule_layout->addWidget(new QLabel(QStringLiteral("Reverification every"), this));
  schedule_layout->addWidget(d_reverification_spin);
  schedule_layout->addWidget(new QLabel(QStringLiteral("months; interim check every"), this));
  schedule_layout->addWidget(d_interim_spin);
  schedule_layout->addWidget(new QLabel(QStringLiteral("days"), this));
  schedule_layout->addWidget(schedule_button);
  schedule_layout->addStretch();
  layout->addLayout(schedule_layout);
  d_schedule_label = new QLabel(this);
  d_schedule_label->setObjectName(QStringLiteral("schedule_label"));
  d_schedule_label->setTextFormat(Qt::RichText);
  layout->addWidget(d_schedule_label);

  QSplitter *splitter = new QSplitter(Qt::Horizontal, this);
  layout->addWidget(splitter, 1);

  // The records.
  QWidget *records = new QWidget(splitter);
  QVBoxLayout *records_layout = new QVBoxLayout(records);
  records_layout->setContentsMargins(0, 0, 0, 0);
  records_layout->addWidget(new QLabel(QStringLiteral("Records:"), records));
  d_records_table =
      New_Table({QStringLiteral("No."), QStringLiteral("Date"), QStringLiteral("Kind"),
                 QStringLiteral("Component"), QStringLiteral("Rule"), QStringLiteral("U \u00b5m"),
                 QStringLiteral("Results"), QStringLiteral("Share %"), QStringLiteral("Verdict")},
                QStringLiteral("records_table"), records);
  d_records_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  d_records_table->setSelectionMode(QAbstractItemView::SingleSelection);
  d_records_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  d_records_table->verticalHeader()->hide();
  d_records_table->horizontalHeaderItem(7)->setToolTip(
      QStringLiteral("The largest share of the MPE: max |E| / MPE(L) over the record"));
  records_layout->addWidget(d_records_table, 1);
  QHBoxLayout *record_buttons = new QHBoxLayout();
  QPushButton *new_button =
      New_Button(QStringLiteral("New Record"), QStringLiteral("new_record_button"), records);
  d_delete_button =
      New_Button(QStringLiteral("Delete Record"), QStringLiteral("delete_record_button"), records);
  d_report_button =
      New_Button(QStringLiteral("Report..."), QStringLiteral("report_button"), records);
  record_buttons->addWidget(new_button);
  record_buttons->addWidget(d_delete_button);
  record_buttons->addWidget(d_report_button);
  record_buttons->addStretch();
  records_layout->addLayout(record_buttons);

  // The record shown: its fields and results, and its plot and the trend on tabs beside.
  d_tabs = new QTabWidget(splitter);
  QWidget *form = new QWidget(d_tabs);
  QVBoxLayout *form_layout = new QVBoxLayout(form);
  QGridLayout *fields = new QGridLayout();
  form_layout->addLayout(fields);
  d_date_edit = new QDateEdit(form);
  d_date_edit->setObjectName(QStringLiteral("date_edit"));
  d_date_edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  d_date_edit->setCalendarPopup(true);
  d_kind_combo = new QComboBox(form);
  d_kind_combo->setObjectName(QStringLiteral("kind_combo"));
  for (int kind = 0; kind < TVerificationRecord::KIND_COUNT; ++kind)
  {
    d_kind_combo->addItem(TVerificationRecord::Kind_Name(kind));
  }
  d_component_combo = new QComboBox(form);
  d_component_combo->setObjectName(QStringLiteral("component_combo"));
  d_rule_combo = new QComboBox(form);
  d_rule_combo->setObjectName(QStringLiteral("rule_combo"));
  for (int rule = 0; rule < TVerificationRecord::RULE_COUNT; ++rule)
  {
    d_rule_combo->addItem(TVerificationRecord::Rule_Name(rule));
  }
  const auto new_edit = [form](const char *name)
  {
    QLineEdit *edit = new QLineEdit(form);
    edit->setObjectName(QLatin1String(name));
    return edit;
  };
  d_temperature_edit = new_edit("temperature_edit");
  d_uncertainty_edit = new_edit("uncertainty_edit");
  d_operator_edit = new_edit("operator_edit");
  d_artefact_edit = new_edit("artefact_edit");
  d_notes_edit = new_edit("notes_edit");
  const struct
  {
    const char *label;
    QWidget *field;
    int row;
    int column;
  } entries[] = {{"Date:", d_date_edit, 0, 0},
                 {"Kind:", d_kind_combo, 0, 2},
                 {"Component:", d_component_combo, 1, 0},
                 {"Decision rule:", d_rule_combo, 1, 2},
                 {"Temperature (C):", d_temperature_edit, 2, 0},
                 {"Uncertainty U (\u00b5m):", d_uncertainty_edit, 2, 2},
                 {"Operator:", d_operator_edit, 3, 0},
                 {"Artefact:", d_artefact_edit, 3, 2}};
  for (const auto &entry : entries)
  {
    fields->addWidget(new QLabel(QString::fromUtf8(entry.label), form), entry.row, entry.column);
    fields->addWidget(entry.field, entry.row, entry.column + 1);
    d_entry_widgets.append(entry.field);
  }
  fields->addWidget(new QLabel(QStringLiteral("Notes:"), form), 4, 0);
  fields->addWidget(d_notes_edit, 4, 1, 1, 3);
  d_entry_widgets.append(d_notes_edit);
  fields->setColumnStretch(1, 1);
  fields->setColumnStretch(3, 1);

  d_results_table = New_Table({QStringLiteral("Length (mm)"), QStringLiteral("Position"),
                               QStringLiteral("Repetition"), QStringLiteral("Error (\u00b5m)"),
                               QStringLiteral("MPE (\u00b5m)"), QStringLiteral("Zone")},
                              QStringLiteral("results_table"), form);
  // The numbers' columns as wide as their headings; the zone takes the rest.
  for (int column = 0; column < COLUMN_ZONE; ++column)
  {
    d_results_table->setColumnWidth(
        column, d_results_table->horizontalHeader()->fontMetrics().horizontalAdvance(
                    d_results_table->horizontalHeaderItem(column)->text()) +
                    24);
  }
  d_results_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  form_layout->addWidget(d_results_table, 1);
  QHBoxLayout *result_buttons = new QHBoxLayout();
  QPushButton *paste_button =
      New_Button(QStringLiteral("Paste"), QStringLiteral("paste_button"), form);
  paste_button->setToolTip(QStringLiteral("Rows copied from a spreadsheet: length, position, "
                                          "repetition, error; or with a header naming them"));
  QPushButton *import_button =
      New_Button(QStringLiteral("Import CSV..."), QStringLiteral("import_button"), form);
  QPushButton *remove_button =
      New_Button(QStringLiteral("Remove Rows"), QStringLiteral("remove_rows_button"), form);
  d_save_button =
      New_Button(QStringLiteral("Save Record"), QStringLiteral("save_record_button"), form);
  result_buttons->addWidget(paste_button);
  result_buttons->addWidget(import_button);
  result_buttons->addWidget(remove_button);
  result_buttons->addStretch();
  result_buttons->addWidget(d_save_button);
  form_layout->addLayout(result_buttons);
  d_entry_widgets << paste_button << import_button << remove_button;

  d_verdict_label = new QLabel(form);
  d_verdict_label->setObjectName(QStringLiteral("verdict_label"));
  d_verdict_label->setTextFormat(Qt::RichText);
  d_verdict_label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 12pt"));
  d_summary_label = new QLabel(form);
  d_summary_label->setObjectName(QStringLiteral("summary_label"));
  d_summary_label->setTextFormat(Qt::RichText);
  d_summary_label->setWordWrap(true);
  form_layout->addWidget(d_verdict_label);
  form_layout->addWidget(d_summary_label);
  d_tabs->addTab(form, QStringLiteral("Record"));

  d_errors_plot = new TVerificationChartView(d_tabs);
  d_errors_plot->setObjectName(QStringLiteral("errors_plot"));
  d_tabs->addTab(d_errors_plot, QStringLiteral("Errors over Length"));
  d_trend_plot = new TVerificationChartView(d_tabs);
  d_trend_plot->setObjectName(QStringLiteral("trend_plot"));
  d_tabs->addTab(d_trend_plot, QStringLiteral("Trend"));
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  // Wide enough for every column of the records with their verdict.
  splitter->setSizes({650, 670});

  QHBoxLayout *close_layout = new QHBoxLayout();
  close_layout->addStretch();
  QPushButton *close_button =
      New_Button(QStringLiteral("Close"), QStringLiteral("close_button"), this);
  close_layout->addWidget(close_button);
  layout->addLayout(close_layout);

  connect(d_records_table, &QTableWidget::itemSelectionChanged, this,
          &TVerificationLogDialog::Record_Selected);
  connect(new_button, &QPushButton::clicked, this, &TVerificationLogDialog::New_Record);
  connect(d_delete_button, &QPushButton::clicked, this, &TVerificationLogDialog::Delete_Record);
  connect(d_report_button, &QPushButton::clicked, this, &TVerificationLogDialog::Write_Report);
  connect(paste_button, &QPushButton::clicked, this, &TVerificationLogDialog::Paste_Results);
  connect(new QShortcut(QKeySequence::Paste, d_results_table, nullptr, nullptr,
                        Qt::WidgetWithChildrenShortcut),
          &QShortcut::activated, this, &TVerificationLogDialog::Paste_Results);
  connect(import_button, &QPushButton::clicked, this, &TVerificationLogDialog::Import_Csv);
  connect(remove_button, &QPushButton::clicked, this, &TVerificationLogDialog::Remove_Rows);
  connect(d_save_button, &QPushButton::clicked, this, &TVerificationLogDialog::Save_Record);
  connect(schedule_button, &QPushButton::clicked, this, &TVerificationLogDialog::Save_Schedule);
  connect(close_button, &QPushButton::clicked, this, &QDialog::accept);
  connect(d_results_table, &QTableWidget::cellChanged, this,
          &TVerificationLogDialog::Result_Changed);
  for (QComboBox *combo : {d_kind_combo, d_component_combo, d_rule_combo})
  {
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TVerificationLogDialog::Judge_Form);
  }
  for (QLineEdit *edit : {d_temperature_edit, d_uncertainty_edit})
  {
    connect(edit, &QLineEdit::textChanged, this, &TVerificationLogDialog::Judge_Form);
  }
}

TVerificationLogDialog::~TVerificationLogDialog() = default;

void TVerificationLogDialog::Show_Failure(const QString &heading, const QString &text,
                                          const QString &details)
{
  if (d_message_box)
  {
    d_message_box->Show(heading, text, details, QMessageBox::Ok, QMessageBox::Ok,
                        QMessageBox::Warning);
  }
}

bool TVerificationLogDialog::Set_Machine(TDatabase *database, const QString &make,
                                         const QString &model, const QString &option)
{
  Q_ASSERT(database);
  d_database = database;
  d_make = make;
  d_model = model;
  d_option = option;
  d_machine_label->setText(QStringLiteral("%1 / %2 / %3").arg(make, model, option));

  bool valid = false;
  d_machine = database->Read_Configuration(make, model, option, &valid);
  const QStringList standards = valid ? database->Standard_Types(&valid) : QStringList();
  const TVerificationSchedule::TIntervals intervals =
      valid ? TVerificationLog(database).Intervals(make, model, option, &valid)
            : TVerificationSchedule::TIntervals();
  if (!valid)
  {
    Show_Failure(QStringLiteral("Read Error"),
                 QStringLiteral("Cannot read the machine's verification log."),
                 database->Last_Error());
    return false;
  }

  // The components a length error can be judged against, 10360 E0 first.
  const QSignalBlocker blocker(d_component_combo);
  d_component_combo->clear();
  for (const QString &standard : standards)
  {
    for (const QString &component : database->Component_Types(standard, &valid))
    {
      if (TCapability::Is_Length_Dependent(
              database->Component_Type_Expression_Types(standard, component)))
      {
        d_component_combo->addItem(standard + QLatin1Char(':') + component,
                                   QStringList{standard, component});
      }
    }
  }
  d_reverification_spin->setValue(intervals.reverification_months);
  d_interim_spin->setValue(intervals.interim_days);
  d_read_only = database->Is_Read_Only();
  for (const char *name : {"new_record_button", "save_schedule_button"})
  {
    findChild<QPushButton *>(QLatin1String(name))->setEnabled(!d_read_only);
  }
  d_reverification_spin->setReadOnly(d_read_only);
  d_interim_spin->setReadOnly(d_read_only);
  if (!Load_Records(0))
  {
    return false;
  }
  New_Record();
  return true;
}

bool TVerificationLogDialog::Load_Records(int selected_number)
{
  bool valid = false;
  d_records =
      TVerificationLog(d_database).Records(d_make, d_model, d_option, &valid, &d_judgements);

  const QSignalBlocker blocker(d_records_table);
  d_records_table->clearContents();
  d_records_table->setRowCount(d_records.size());
  for (int row = 0; row < d_records.size(); ++row)
  {
    const QStringList cells = TVerificationRows::List_Row(d_records.at(row), d_judgements.at(row));
    const int columns = std::min<int>(cells.size(), d_records_table->columnCount());
    for (int column = 0; column < columns; ++column)
    {
      d_records_table->setItem(row, column, New_Item(cells.at(column), false));
    }
    Colour_Item(d_records_table->item(row, columns - 1),
                TVerificationReport::Verdict_Colour(d_judgements.at(row).verdict));
    if (d_records.at(row).number == selected_number)
    {
      d_records_table->selectRow(row);
    }
  }
  d_records_table->resizeColumnsToContents();
  Update_Schedule();
  Update_Trend();
  if (!valid)
  {
    Show_Failure(QStringLiteral("Read Error"), QStringLiteral("Cannot read the records."),
                 d_database->Last_Error());
  }
  return valid;
}

int TVerificationLogDialog::Selected_Number() const
{
  const QList<QTableWidgetItem *> selected = d_records_table->selectedItems();
  return selected.isEmpty() ? 0 : d_records.value(selected.first()->row()).number;
}

void TVerificationLogDialog::Record_Selected()
{
  const int number = Selected_Number();
  for (const TVerificationRecord &record : qAsConst(d_records))
  {
    if (record.number == number)
    {
      Show_Record(record, false);
      return;
    }
  }
}

void TVerificationLogDialog::New_Record()
{
  {
    const QSignalBlocker blocker(d_records_table);
    d_records_table->clearSelection();
  }
  TVerificationRecord record;
  record.date = QDate::currentDate();
  // The next check of a log with records is most often of the same kind and rule.
  if (!d_records.isEmpty())
  {
    record.kind = d_records.last().kind == TVerificationRecord::KIND_ACCEPTANCE
                      ? TVerificationRecord::KIND_REVERIFICATION
                      : d_records.last().kind;
    record.rule = d_records.last().rule;
    record.standard = d_records.last().standard;
    record.component = d_records.last().component;
  }
  Show_Record(record, true);
}

void TVerificationLogDialog::Show_Record(const TVerificationRecord &record, bool editable)
{
  d_editable = editable;
  {
    const QSignalBlocker kind(d_kind_combo);
    const QSignalBlocker component(d_component_combo);
    const QSignalBlocker rule(d_rule_combo);
    const QSignalBlocker temperature(d_temperature_edit);
    const QSignalBlocker uncertainty(d_uncertainty_edit);
    d_date_edit->setDate(record.date);
    d_kind_combo->setCurrentIndex(record.kind);
    const int component_index =
        d_component_combo->findData(QStringList{record.standard, record.component});
    if (component_index < 0)
    {
      // A record of a component the catalogue no longer judges by length is still shown.
      d_component_combo->addItem(record.Component_Text(),
                                 QStringList{record.standard, record.component});
    }
    d_component_combo->setCurrentIndex(
        d_component_combo->findData(QStringList{record.standard, record.component}));
    d_rule_combo->setCurrentIndex(record.rule);
    d_temperature_edit->setText(TVerificationRecord::Number_Text(record.temperature));
    d_uncertainty_edit->setText(record.uncertainty);
    d_operator_edit->setText(record.operator_name);
    d_artefact_edit->setText(record.artefact);
    d_notes_edit->setText(record.notes);
  }
  // A stored record is shown read-only, legible rather than greyed where a field allows it.
  for (QWidget *widget : qAsConst(d_entry_widgets))
  {
    QLineEdit *edit = qobject_cast<QLineEdit *>(widget);
    QAbstractSpinBox *spin = qobject_cast<QAbstractSpinBox *>(widget);
    if (edit)
    {
      edit->setReadOnly(!editable);
    }
    else if (spin)
    {
      spin->setReadOnly(!editable);
      spin->setButtonSymbols(editable ? QAbstractSpinBox::UpDownArrows
                                      : QAbstractSpinBox::NoButtons);
    }
    else
    {
      widget->setEnabled(editable);
    }
  }
  d_results_table->setEditTriggers(editable ? QAbstractItemView::AllEditTriggers
                                            : QAbstractItemView::NoEditTriggers);
  d_save_button->setEnabled(editable && !d_read_only);
  d_delete_button->setEnabled(!editable && !d_read_only);
  d_report_button->setEnabled(!editable);
  Fill_Results(record.results);
  Judge_Form();
}

void TVerificationLogDialog::Fill_Results(const QList<TVerificationResult> &results)
{
  const QSignalBlocker blocker(d_results_table);
  d_results_table->clearContents();
  // A new record keeps an empty row at the end to type into.
  d_results_table->setRowCount(results.size() + (d_editable ? 1 : 0));
  for (int row = 0; row < d_results_table->rowCount(); ++row)
  {
    const bool filled = row < results.size();
    const TVerificationResult result = filled ? results.at(row) : TVerificationResult();
    const QString cells[] = {filled ? TVerificationRecord::Number_Text(result.length) : QString(),
                             result.position,
                             filled ? QString::number(result.repetition) : QString(),
                             filled ? TVerificationRecord::Number_Text(result.error) : QString()};
    for (int column = 0; column < ENTRY_COLUMNS; ++column)
    {
      d_results_table->setItem(row, column, New_Item(cells[column], true));
    }
    d_results_table->setItem(row, COLUMN_MPE, New_Item(QString(), false));
    d_results_table->setItem(row, COLUMN_ZONE, New_Item(QString(), false));
  }
}

bool TVerificationLogDialog::Form_Record(TVerificationRecord *record, QString *error) const
{
  QStringList errors;
  TVerificationRecord read;
  read.date = d_date_edit->date();
  read.kind = d_kind_combo->currentIndex();
  read.rule = d_rule_combo->currentIndex();
  const QStringList component = d_component_combo->currentData().toStringList();
  read.standard = component.value(0);
  read.component = component.value(1);
  QString reason;
  if (!TVerificationRecord::Read_Temperature(d_temperature_edit->text(), read.kind,
                                             &read.temperature, &reason) ||
      !TVerificationRecord::Read_Uncertainty(d_uncertainty_edit->text(), &read.uncertainty,
                                             &reason))
  {
    errors.append(reason);
  }
  read.operator_name = d_operator_edit->text().trimmed();
  read.artefact = d_artefact_edit->text().trimmed();
  read.notes = d_notes_edit->text().trimmed();
  for (int row = 0; row < d_results_table->rowCount(); ++row)
  {
    QStringList cells;
    for (int column = 0; column < ENTRY_COLUMNS; ++column)
    {
      const QTableWidgetItem *item = d_results_table->item(row, column);
      cells.append(item ? item->text() : QString());
    }
    if (cells.join(QString()).trimmed().isEmpty())
    {
      continue;
    }
    TVerificationResult result;
    QString reason;
    if (TVerificationResults::Read_Cells(cells, &result, &reason))
    {
      read.results.append(result);
    }
    else
    {
      errors.append(QStringLiteral("Row %1: %2.").arg(row + 1).arg(reason));
    }
  }
  TVerificationResults::Number_Repetitions(&read.results);
  *record = read;
  *error = errors.join(QLatin1Char('\n'));
  return errors.isEmpty() && read.Check(error);
}

void TVerificationLogDialog::Judge_Form()
{
  TVerificationRecord record;
  QString errors;
  Form_Record(&record, &errors);
  const TVerificationJudgement::TJudgement judgement =
      TVerificationJudgement::Judge(record, d_machine);

  // The judged results are the table's rows that are filled and read, in order.
  const QSignalBlocker blocker(d_results_table);
  int judged = 0;
  for (int row = 0; row < d_results_table->rowCount(); ++row)
  {
    QTableWidgetItem *mpe = d_results_table->item(row, COLUMN_MPE);
    QTableWidgetItem *zone = d_results_table->item(row, COLUMN_ZONE);
    if (!mpe || !zone)
    {
      continue;
    }
    QStringList cells;
    for (int column = 0; column < ENTRY_COLUMNS; ++column)
    {
      cells.append(d_results_table->item(row, column) ? d_results_table->item(row, column)->text()
                                                      : QString());
    }
    TVerificationResult result;
    QString reason;
    const bool filled = !cells.join(QString()).trimmed().isEmpty();
    const bool read = filled && TVerificationResults::Read_Cells(cells, &result, &reason);
    mpe->setText(QString());
    zone->setText(filled && !read ? QStringLiteral("invalid") : QString());
    zone->setData(Qt::BackgroundRole, QVariant());
    zone->setData(Qt::ForegroundRole, QVariant());
    if (filled && !read)
    {
      Colour_Item(zone, TVerificationReport::Zone_Colour(TVerificationJudgement::ZONE_FAIL));
    }
    if (!read || judged >= judgement.results.size())
    {
      continue;
    }
    const TVerificationJudgement::TJudgedResult &result_judged = judgement.results.at(judged++);
    if (result_judged.has_limit)
    {
      mpe->setText(TVerificationRecord::Number_Text(result_judged.mpe));
    }
    zone->setText(TVerificationJudgement::Zone_Name(result_judged.zone));
    Colour_Item(zone, TVerificationReport::Zone_Colour(result_judged.zone));
  }

  const QColor colour = TVerificationReport::Verdict_Colour(judgement.verdict);
  d_verdict_label->setText(
      record.results.isEmpty()
          ? QString()
          : Coloured(QStringLiteral("Verdict: %1")
                         .arg(TVerificationJudgement::Verdict_Name(judgement.verdict)),
                     colour));
  QStringList lines{
      TVerificationRecord::Rule_Words(record.rule, record.uncertainty).toHtmlEscaped()};
  if (!record.results.isEmpty())
  {
    lines.append(TVerificationRows::Summary(judgement).toHtmlEscaped());
  }
  const QColor warning = TVerificationReport::Zone_Colour(TVerificationJudgement::ZONE_FAIL);
  for (const QString &note : TVerificationRows::Notes(judgement))
  {
    lines.append(Coloured(note, warning));
  }
  if (d_editable && !errors.isEmpty() && !record.results.isEmpty())
  {
    lines.append(Coloured(errors, warning).replace(QLatin1Char('\n'), QStringLiteral("<br>")));
  }
  d_summary_label->setText(lines.join(QStringLiteral("<br>")));

  const double length = TVerificationJudgement::Plot_Length(record);
  d_errors_plot->Set_Errors(record, judgement,
                            TVerificationJudgement::Limit_Lines(record, d_machine, length), length);
}

void TVerificationLogDialog::Result_Changed(int row, int column)
{
  if (column >= ENTRY_COLUMNS)
  {
    return;
  }
  // Typing into the last row opens the next.
  if (d_editable && row == d_results_table->rowCount() - 1)
  {
    const QString text = d_results_table->item(row, column)->text();
    if (!text.trimmed().isEmpty())
    {
      const QSignalBlocker blocker(d_results_table);
      d_results_table->insertRow(row + 1);
      for (int cell = 0; cell < d_results_table->columnCount(); ++cell)
      {
        d_results_table->setItem(row + 1, cell, New_Item(QString(), cell < ENTRY_COLUMNS));
      }
    }
  }
  Judge_Form();
}

void TVerificationLogDialog::Paste_Results()
{
  Paste_Text(QApplication::clipboard()->text());
}

void TVerificationLogDialog::Paste_Text(const QString &text)
{
  const QList<QStringList> rows = TVerificationResults::Tabbed_Rows(text);
  if (rows.isEmpty())
  {
    return;
  }
  if (!d_editable)
  {
    New_Record();
  }
  // With a header the columns may come in any order, as in a file.
  const bool header =
      rows.first().join(QLatin1Char(',')).contains(QLatin1String("length_mm"), Qt::CaseInsensitive);
  if (header)
  {
    QStringList lines;
    for (const QStringList &row : rows)
    {
      QStringList quoted;
      for (QString cell : row)
      {
        quoted.append(QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                      QLatin1Char('"'));
      }
      lines.append(quoted.join(QLatin1Char(',')));
    }
    QList<TVerificationResult> results;
    QString error;
    if (!TVerificationResults::Read_Csv(lines.join(QLatin1Char('\n')), &results, &error))
    {
      Show_Failure(QStringLiteral("Paste Error"), QStringLiteral("Cannot paste the results."),
                   error);
      return;
    }
    Fill_Results(results);
    Judge_Form();
    return;
  }

  // Without one, the cells go in from the current cell on, in the table's columns.
  const QSignalBlocker blocker(d_results_table);
  const int first_row = std::max(0, d_results_table->currentRow());
  // From the MPE or zone column, a pasted row starts at the length.
  const int current_column = d_results_table->currentColumn();
  const int first_column =
      current_column > 0 && current_column < ENTRY_COLUMNS ? current_column : 0;
  for (int index = 0; index < rows.size(); ++index)
  {
    const int row = first_row + index;
    while (d_results_table->rowCount() <= row + 1)
    {
      const int added = d_results_table->rowCount();
      d_results_table->insertRow(added);
      for (int cell = 0; cell < d_results_table->columnCount(); ++cell)
      {
        d_results_table->setItem(added, cell, New_Item(QString(), cell < ENTRY_COLUMNS));
      }
    }
    for (int cell = 0; cell < rows.at(index).size() && first_column + cell < ENTRY_COLUMNS; ++cell)
    {
      d_results_table->item(row, first_column + cell)->setText(rows.at(index).at(cell).trimmed());
    }
  }
  Judge_Form();
}

void TVerificationLogDialog::Remove_Rows()
{
  QList<int> rows;
  for (const QTableWidgetItem *item : d_results_table->selectedItems())
  {
    if (!rows.contains(item->row()) && item->row() < d_results_table->rowCount() - 1)
    {
      rows.append(item->row());
    }
  }
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  const QSignalBlocker blocker(d_results_table);
  for (const int row : rows)
  {
    d_results_table->removeRow(row);
  }
  Judge_Form();
}

void TVerificationLogDialog::Import_Csv()
{
  const QString file_name =
      TFileDialog::Get_Open_File_Name(this, QStringLiteral("Import results"), d_folder, CSV_FILTER);
  if (file_name.isEmpty())
  {
    return;
  }
  d_last_file_name = file_name;
  QList<TVerificationResult> results;
  QString error;
  if (!TVerificationResults::Read_File(file_name, &results, &error))
  {
    Show_Failure(QStringLiteral("Import Error"), QStringLiteral("Cannot import the results."),
                 error);
    return;
  }
  if (!d_editable)
  {
    New_Record();
  }
  Fill_Results(results);
  Judge_Form();
}

void TVerificationLogDialog::Save_Record()
{
  TVerificationRecord record;
  QString error;
  if (!Form_Record(&record, &error))
  {
    Show_Failure(QStringLiteral("Save Error"), QStringLiteral("Cannot save the record."), error);
    return;
  }
  if (!TVerificationLog(d_database).Add_Record(d_make, d_model, d_option, &record))
  {
    Show_Failure(QStringLiteral("Save Error"), QStringLiteral("Cannot save the record."),
                 d_database->Last_Error());
    return;
  }
  Load_Records(record.number);
  Record_Selected();
}

void TVerificationLogDialog::Delete_Record()
{
  const int number = Selected_Number();
  if (number <= 0 || !d_message_box ||
      d_message_box->Show(QStringLiteral("Delete Record"),
                          QStringLiteral("Are you sure you want to delete record %1?").arg(number),
                          QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                          QMessageBox::Question) != QMessageBox::Yes)
  {
    return;
  }
  if (!TVerificationLog(d_database).Remove_Record(d_make, d_model, d_option, number))
  {
    Show_Failure(QStringLiteral("Delete Error"), QStringLiteral("Cannot delete the record."),
                 d_database->Last_Error());
  }
  Load_Records(0);
  New_Record();
}

void TVerificationLogDialog::Write_Report()
{
  const int number = Selected_Number();
  const auto found =
      std::find_if(d_records.cbegin(), d_records.cend(),
                   [number](const TVerificationRecord &record) { return record.number == number; });
  if (found == d_records.cend())
  {
    return;
  }
  QString file_name = TFileDialog::Get_Save_File_Name(this, QStringLiteral("Verification report"),
                                                      d_folder, PDF_FILTER);
  if (file_name.isEmpty())
  {
    return;
  }
  file_name = TSpecificationReport::Appended_Pdf_Suffix(file_name);
  d_last_file_name = file_name;
  QString error;
  if (!TVerificationReport::Write(file_name, d_make, d_model, d_option, *found,
                                  d_judgements.at(found - d_records.cbegin()), {}, &error))
  {
    Show_Failure(QStringLiteral("Output Error"),
                 QStringLiteral("Cannot write the verification report."), error);
  }
}

void TVerificationLogDialog::Save_Schedule()
{
  if (!TVerificationLog(d_database)
           .Set_Intervals(d_make, d_model, d_option,
                          {d_reverification_spin->value(), d_interim_spin->value()}))
  {
    Show_Failure(QStringLiteral("Save Error"), QStringLiteral("Cannot save the schedule."),
                 d_database->Last_Error());
  }
  Update_Schedule();
}

void TVerificationLogDialog::Update_Schedule()
{
  bool valid = false;
  QList<int> verdicts;
  for (const TVerificationJudgement::TJudgement &judgement : qAsConst(d_judgements))
  {
    verdicts.append(judgement.verdict);
  }
  const TVerificationSchedule::TMachine machine = TVerificationSchedule::Of_Records(
      TVerificationLog(d_database).Intervals(d_make, d_model, d_option, &valid), d_records,
      verdicts);
  QStringList lines;
  for (const TVerificationSchedule::TCheck &check : TVerificationSchedule::Checks(
           machine, QDate::currentDate(), TVerificationSchedule::DUE_WITHIN_DAYS))
  {
    const bool interim = check.kind == TVerificationRecord::KIND_INTERIM;
    QString line = interim ? QStringLiteral("Interim check: ") : QStringLiteral("Reverification: ");
    if ((interim ? machine.intervals.interim_days : machine.intervals.reverification_months) == 0)
    {
      line += QStringLiteral("not scheduled");
    }
    else
    {
      line += QStringLiteral("every %1 %2, ")
                  .arg(interim ? machine.intervals.interim_days
                               : machine.intervals.reverification_months)
                  .arg(interim ? QStringLiteral("days") : QStringLiteral("months"));
      line += check.last.isValid() ? QStringLiteral("last %1, next due %2")
                                         .arg(TVerificationRecord::Date_Text(check.last),
                                              TVerificationRecord::Date_Text(check.due))
                                   : QStringLiteral("never made");
    }
    const QString status = TVerificationSchedule::Status_Name(check.status);
    const QColor colour = check.status == TVerificationSchedule::STATUS_OVERDUE ||
                                  check.status == TVerificationSchedule::STATUS_RETEST_DUE
                              ? QColor(200, 0, 0)
                          : check.status == TVerificationSchedule::STATUS_DUE ? QColor(215, 110, 0)
                                                                              : QColor(0, 110, 50);
    lines.append(line.toHtmlEscaped() +
                 (check.status == TVerificationSchedule::STATUS_NOT_SCHEDULED
                      ? QString()
                      : QStringLiteral(" \u2014 <b>%1</b>").arg(Coloured(status, colour))));
  }
  d_schedule_label->setText(lines.join(QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;")));
}

void TVerificationLogDialog::Update_Trend()
{
  QList<TVerificationChartView::TTrendPoint> points;
  for (int index = 0; index < d_records.size(); ++index)
  {
    if (d_judgements.at(index).has_share)
    {
      points.append({d_records.at(index).date, d_judgements.at(index).largest_share,
                     d_judgements.at(index).verdict});
    }
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const TVerificationChartView::TTrendPoint &first,
                      const TVerificationChartView::TTrendPoint &second)
                   { return first.date < second.date; });
  d_trend_plot->Set_Trend(points);
}
