#include "verificationrecordform.h"

#include "filedialog.h"
#include "messagebox.h"
#include "specificationlimits.h"
#include "statictextdelegate.h"
#include "verificationreport.h"
#include "verificationresults.h"
#include "verificationresultsmodel.h"
#include "verificationrows.h"
#include "verificationworkflow.h"
#include "windowunits.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
const QString CSV_FILTER = QStringLiteral("Comma Separated File (*.csv)");

QPushButton *New_Button(const QString &text, const QString &name, QWidget *parent)
{
  QPushButton *button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QString Coloured(const QString &text, const QColor &colour)
{
  return QStringLiteral("<span style=\"color:%1\">%2</span>")
      .arg(colour.name(), text.toHtmlEscaped());
}
} // namespace

TVerificationRecordForm::TVerificationRecordForm(QWidget *parent) : QWidget(parent)
{
  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  QGridLayout *fields = new QGridLayout();
  layout->addLayout(fields);
  d_date_edit = new QDateEdit(this);
  d_date_edit->setObjectName(QStringLiteral("date_edit"));
  d_date_edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  d_date_edit->setCalendarPopup(true);
  d_kind_combo = new QComboBox(this);
  d_kind_combo->setObjectName(QStringLiteral("kind_combo"));
  for (int kind = 0; kind < TVerificationRecord::KIND_COUNT; ++kind)
  {
    d_kind_combo->addItem(TVerificationRecord::Kind_Name(kind));
  }
  d_component_combo = new QComboBox(this);
  d_component_combo->setObjectName(QStringLiteral("component_combo"));
  d_rule_combo = new QComboBox(this);
  d_rule_combo->setObjectName(QStringLiteral("rule_combo"));
  for (int rule = 0; rule < TVerificationRecord::RULE_COUNT; ++rule)
  {
    d_rule_combo->addItem(TVerificationRecord::Rule_Name(rule));
  }
  // The combos' words decide no width of the window.
  for (QComboBox *combo : {d_kind_combo, d_component_combo, d_rule_combo})
  {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(8);
  }
  const auto new_edit = [this](const char *name)
  {
    QLineEdit *edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    return edit;
  };
  d_temperature_edit = new_edit("temperature_edit");
  d_uncertainty_edit = new_edit("uncertainty_edit");
  d_uncertainty_edit->setToolTip(QStringLiteral(
      "The expanded uncertainty of the test in \u00b5m: a number, or an expression of the length "
      "written as the editor writes a limit, such as 0.3+0.4L/1000"));
  d_r0_uncertainty_edit = new_edit("r0_uncertainty_edit");
  d_r0_uncertainty_edit->setToolTip(QStringLiteral(
      "The expanded uncertainty of the repetition ranges judged against R0, in \u00b5m"));
  d_operator_edit = new_edit("operator_edit");
  d_artefact_edit = new_edit("artefact_edit");
  d_notes_edit = new_edit("notes_edit");
  const struct
  {
    QString label;
    QWidget *field;
  } entries[] = {
      {QStringLiteral("Date:"), d_date_edit},
      {QStringLiteral("Kind:"), d_kind_combo},
      {QStringLiteral("Component:"), d_component_combo},
      {QStringLiteral("Decision rule:"), d_rule_combo},
      {QStringLiteral("U (%1):").arg(TWindowUnits::MICROMETRES), d_uncertainty_edit},
      {QStringLiteral("U of R0 (%1):").arg(TWindowUnits::MICROMETRES), d_r0_uncertainty_edit},
      {QStringLiteral("Temperature (%1):").arg(TWindowUnits::CELSIUS), d_temperature_edit},
      {QStringLiteral("Operator:"), d_operator_edit},
      {QStringLiteral("Artefact:"), d_artefact_edit}};
  // Three fields a row, the notes across.
  int index = 0;
  for (const auto &entry : entries)
  {
    QLabel *label = new QLabel(entry.label, this);
    label->setBuddy(entry.field);
    label->setToolTip(entry.field->toolTip());
    fields->addWidget(label, index / 3, 2 * (index % 3));
    fields->addWidget(entry.field, index / 3, 2 * (index % 3) + 1);
    d_entry_widgets.append(entry.field);
    ++index;
  }
  fields->addWidget(new QLabel(QStringLiteral("Notes:"), this), 3, 0);
  fields->addWidget(d_notes_edit, 3, 1, 1, 5);
  d_entry_widgets.append(d_notes_edit);
  for (const int column : {1, 3, 5})
  {
    fields->setColumnStretch(column, 1);
  }

  d_results = new TVerificationResultsModel(this);
  d_results_view = new QTableView(this);
  d_results_view->setObjectName(QStringLiteral("results_table"));
  d_results_view->setModel(d_results);
  d_results_view->setItemDelegate(new TStaticTextDelegate(d_results_view));
  d_results_view->verticalHeader()->setDefaultSectionSize(d_results_view->fontMetrics().height() +
                                                          6);
  // The typed and judged columns as wide as their headings, the zone as its longest name.
  QHeaderView *header = d_results_view->horizontalHeader();
  const QFontMetrics header_metrics = header->fontMetrics();
  int table_width =
      d_results_view->verticalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("999")) +
      d_results_view->verticalScrollBar()->sizeHint().width() + 12;
  for (int column = 0; column < TVerificationResultsModel::COLUMN_COUNT; ++column)
  {
    int width =
        header_metrics.horizontalAdvance(d_results->headerData(column, Qt::Horizontal).toString()) +
        16;
    // The retest box with its word beside it.
    if (column == TVerificationResults::COLUMN_RETEST)
    {
      width = std::max(width,
                       d_results_view->fontMetrics().horizontalAdvance(QStringLiteral("replaced")) +
                           d_results_view->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 20);
    }
    if (column == TVerificationResultsModel::COLUMN_ZONE)
    {
      for (int zone = 0; zone < TVerificationJudgement::ZONE_COUNT; ++zone)
      {
        width = std::max(width, d_results_view->fontMetrics().horizontalAdvance(
                                    TVerificationJudgement::Zone_Name(zone)) +
                                    16);
      }
    }
    d_results_view->setColumnWidth(column, width);
    table_width += width;
  }
  header->setStretchLastSection(true);
  d_table_width = table_width;
  // Five rows at the least, whatever the window's size.
  d_results_view->setMinimumHeight(header->sizeHint().height() +
                                   6 * d_results_view->verticalHeader()->defaultSectionSize());
  layout->addWidget(d_results_view, 2);

  QHBoxLayout *buttons = new QHBoxLayout();
  QPushButton *paste_button =
      New_Button(QStringLiteral("Paste"), QStringLiteral("paste_button"), this);
  paste_button->setToolTip(QStringLiteral("Rows copied from a spreadsheet: length, position, "
                                          "repetition, error; or with a header naming them"));
  QPushButton *import_button =
      New_Button(QStringLiteral("Import CSV..."), QStringLiteral("import_button"), this);
  QPushButton *remove_button =
      New_Button(QStringLiteral("Remove Rows"), QStringLiteral("remove_rows_button"), this);
  QPushButton *retest_button =
      New_Button(QStringLiteral("Retest Set"), QStringLiteral("retest_button"), this);
  retest_button->setToolTip(QStringLiteral("Adds rows for a retest of the sets (length and "
                                           "position) of the rows selected"));
  d_save_button =
      New_Button(QStringLiteral("Save Record"), QStringLiteral("save_record_button"), this);
  buttons->addWidget(paste_button);
  buttons->addWidget(import_button);
  buttons->addWidget(remove_button);
  buttons->addWidget(retest_button);
  buttons->addStretch();
  buttons->addWidget(d_save_button);
  layout->addLayout(buttons);
  d_entry_widgets << paste_button << import_button << remove_button << retest_button;

  d_verdict_label = new QLabel(this);
  d_verdict_label->setObjectName(QStringLiteral("verdict_label"));
  d_verdict_label->setTextFormat(Qt::RichText);
  d_verdict_label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 12pt"));
  layout->addWidget(d_verdict_label);
  // The summary scrolls: its lines grow with the notes. It looks as a label does, but lays its
  // text out once at its width, where a wrapped label in a scroll area does so four times a
  // record shown.
  d_summary_label = new QTextBrowser(this);
  d_summary_label->setObjectName(QStringLiteral("summary_label"));
  d_summary_label->setFrameShape(QFrame::NoFrame);
  d_summary_label->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  d_summary_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  d_summary_label->document()->setDocumentMargin(0);
  d_summary_label->viewport()->setAutoFillBackground(false);
  d_summary_label->setMinimumHeight(5 * fontMetrics().lineSpacing());
  layout->addWidget(d_summary_label, 1);

  connect(paste_button, &QPushButton::clicked, this, &TVerificationRecordForm::Paste_Results);
  connect(new QShortcut(QKeySequence::Paste, d_results_view, nullptr, nullptr,
                        Qt::WidgetWithChildrenShortcut),
          &QShortcut::activated, this, &TVerificationRecordForm::Paste_Results);
  connect(import_button, &QPushButton::clicked, this, &TVerificationRecordForm::Import_Csv);
  connect(remove_button, &QPushButton::clicked, this, &TVerificationRecordForm::Remove_Rows);
  connect(retest_button, &QPushButton::clicked, this, &TVerificationRecordForm::Add_Retests);
  connect(d_save_button, &QPushButton::clicked, this, &TVerificationRecordForm::Save_Requested);
  connect(d_results, &TVerificationResultsModel::Results_Edited, this,
          &TVerificationRecordForm::Record_Changed);
  for (QComboBox *combo : {d_kind_combo, d_rule_combo})
  {
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TVerificationRecordForm::Record_Changed);
  }
  connect(d_component_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          &TVerificationRecordForm::Component_Changed);
  for (QLineEdit *edit : {d_temperature_edit, d_uncertainty_edit, d_r0_uncertainty_edit})
  {
    connect(edit, &QLineEdit::textChanged, this, &TVerificationRecordForm::Record_Changed);
  }
  connect(d_date_edit, &QDateEdit::dateChanged, this, &TVerificationRecordForm::Record_Changed);
}

void TVerificationRecordForm::Set_Components(const QList<QStringList> &components)
{
  const QSignalBlocker blocker(d_component_combo);
  d_component_combo->clear();
  for (const QStringList &component : components)
  {
    d_component_combo->addItem(component.join(QLatin1Char(':')), component);
  }
}

void TVerificationRecordForm::Set_Read_Only(bool read_only)
{
  d_read_only = read_only;
  d_save_button->setEnabled(d_editable && !d_read_only);
}

void TVerificationRecordForm::Show_Record(const TVerificationRecord &record, bool editable)
{
  // Nothing is entered into a catalogue that takes no writes.
  d_editable = editable && !d_read_only;
  {
    const QSignalBlocker date(d_date_edit);
    const QSignalBlocker kind(d_kind_combo);
    const QSignalBlocker component(d_component_combo);
    const QSignalBlocker rule(d_rule_combo);
    const QSignalBlocker temperature(d_temperature_edit);
    const QSignalBlocker uncertainty(d_uncertainty_edit);
    const QSignalBlocker r0_uncertainty(d_r0_uncertainty_edit);
    // A check is of a day that has been; a stored record shows its date whatever it is.
    d_date_edit->setMaximumDate(d_editable ? QDate::currentDate() : QDate(9999, 12, 31));
    d_date_edit->setDate(record.date);
    d_kind_combo->setCurrentIndex(record.kind);
    const QStringList parts{record.standard, record.component};
    if (d_component_combo->findData(parts) < 0)
    {
      // A record of a component the catalogue no longer judges is still shown.
      d_component_combo->addItem(record.Component_Text(), parts);
    }
    d_component_combo->setCurrentIndex(d_component_combo->findData(parts));
    d_rule_combo->setCurrentIndex(record.rule);
    // A new record's temperature is typed, never taken silently.
    d_temperature_edit->setText(
        record.number > 0 ? TVerificationRecord::Number_Text(record.temperature) : QString());
    d_temperature_edit->setPlaceholderText(d_editable ? QStringLiteral("required") : QString());
    d_uncertainty_edit->setText(record.uncertainty);
    d_r0_uncertainty_edit->setText(TVerificationRecord::Number_Text(record.r0_uncertainty));
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
      edit->setReadOnly(!d_editable);
    }
    else if (spin)
    {
      spin->setReadOnly(!d_editable);
      spin->setButtonSymbols(d_editable ? QAbstractSpinBox::UpDownArrows
                                        : QAbstractSpinBox::NoButtons);
    }
    else
    {
      widget->setEnabled(d_editable);
    }
  }
  d_results->Set_Needs_Length(Needs_Length());
  d_results->Set_Results(record.results, d_editable);
  // The rows laid out now rather than after the record is painted, which would paint their
  // header a second time.
  d_results_view->doItemsLayout();
  d_results_view->setEditTriggers(d_editable ? QAbstractItemView::AllEditTriggers
                                             : QAbstractItemView::NoEditTriggers);
  // Tab walks the typed cells of a new record, and leaves a stored one's table.
  d_results_view->setTabKeyNavigation(d_editable);
  d_save_button->setEnabled(d_editable && !d_read_only);
}

bool TVerificationRecordForm::Needs_Length() const
{
  const QStringList component = d_component_combo->currentData().toStringList();
  return TVerificationWorkflow::Needs_Length(component.value(0), component.value(1));
}

void TVerificationRecordForm::Component_Changed()
{
  d_results->Set_Needs_Length(Needs_Length());
  emit Record_Changed();
}

void TVerificationRecordForm::Find_Duplicates(const QList<TVerificationResult> &results,
                                              const QList<int> &rows, QStringList *errors,
                                              QHash<int, QString> *problems) const
{
  int first = 0;
  int second = 0;
  if (!TVerificationRecord::Find_Duplicate(results, &first, &second))
  {
    return;
  }
  const int first_row = rows.at(first) + 1;
  const int second_row = rows.at(second) + 1;
  errors->append(QStringLiteral("Rows %1 and %2: the same length, position, repetition and "
                                "retest.")
                     .arg(first_row)
                     .arg(second_row));
  problems->insert(first_row - 1, QStringLiteral("the same result as row %1").arg(second_row));
  problems->insert(second_row - 1, QStringLiteral("the same result as row %1").arg(first_row));
}

bool TVerificationRecordForm::Entered_Record(TVerificationRecord *record, QStringList *errors) const
{
  // The core's reasons are phrases; the form lists them as sentences.
  const auto sentence = [errors](const QString &reason)
  { errors->append(reason.left(1).toUpper() + reason.mid(1) + QLatin1Char('.')); };
  TVerificationRecord read;
  read.date = d_date_edit->date();
  read.kind = d_kind_combo->currentIndex();
  read.rule = d_rule_combo->currentIndex();
  const QStringList component = d_component_combo->currentData().toStringList();
  read.standard = component.value(0);
  read.component = component.value(1);
  QString reason;
  if (!TVerificationRecord::Read_Temperature(d_temperature_edit->text(), read.kind,
                                             &read.temperature, &reason))
  {
    sentence(reason);
  }
  if (!TVerificationRecord::Read_Uncertainty(d_uncertainty_edit->text(), &read.uncertainty,
                                             &reason))
  {
    sentence(reason);
  }
  const QString r0_uncertainty = d_r0_uncertainty_edit->text().trimmed();
  if (!r0_uncertainty.isEmpty() &&
      !TSpecificationLimits::To_Number(r0_uncertainty, &read.r0_uncertainty))
  {
    sentence(QStringLiteral("the uncertainty of R0 '%1' is not a number").arg(r0_uncertainty));
  }
  read.operator_name = d_operator_edit->text().trimmed();
  read.artefact = d_artefact_edit->text().trimmed();
  read.notes = d_notes_edit->text().trimmed();
  QList<int> rows;
  read.results = d_results->Results(&rows, errors);
  TVerificationResults::Number_Repetitions(&read.results);
  QHash<int, QString> problems;
  Find_Duplicates(read.results, rows, errors, &problems);
  QString error;
  if (errors->isEmpty() && !read.Check(&error))
  {
    errors->append(error);
  }
  *record = read;
  return errors->isEmpty();
}

void TVerificationRecordForm::Show_Judgement(const TVerificationRecord &record,
                                             const TVerificationJudgement::TJudgement &judgement,
                                             const QStringList &errors, const QStringList &lines)
{
  QHash<int, QString> problems;
  if (d_editable)
  {
    QList<int> rows;
    QStringList unused;
    const QList<TVerificationResult> results = d_results->Results(&rows, &unused);
    QList<TVerificationResult> numbered = results;
    TVerificationResults::Number_Repetitions(&numbered);
    Find_Duplicates(numbered, rows, &unused, &problems);
  }
  d_results->Show_Judgement(judgement, problems);
  // U gets a column when it depends on the length; a constant U is named below.
  bool varying = false;
  for (const TVerificationJudgement::TJudgedResult &result : judgement.results)
  {
    varying = varying || result.uncertainty != judgement.results.first().uncertainty;
  }
  d_results_view->setColumnHidden(TVerificationResultsModel::COLUMN_UNCERTAINTY, !varying);
  bool filled = false;
  for (int row = 0; row < d_results->rowCount() && !filled; ++row)
  {
    filled = d_results->Is_Filled(row);
  }
  const QColor warning = TVerificationReport::Zone_Colour(TVerificationJudgement::ZONE_FAIL);
  // A record with a row or field that cannot be taken gets no verdict: it is not the record
  // that would be saved.
  const bool judged = errors.isEmpty() && !record.results.isEmpty();
  d_verdict_label->setText(
      judged   ? Coloured(QStringLiteral("Verdict: %1")
                              .arg(TVerificationJudgement::State_Text(judgement.verdict,
                                                                      judgement.reason)),
                          TVerificationReport::Verdict_Colour(judgement.verdict))
      : filled ? Coloured(QStringLiteral("No verdict: correct the entries named below."), warning)
               : QString());
  QStringList shown;
  if (filled)
  {
    for (const QString &error : errors)
    {
      shown.append(Coloured(error, warning));
    }
  }
  if (!record.results.isEmpty())
  {
    shown.append(TVerificationRows::Summary(judgement).toHtmlEscaped());
  }
  for (const QString &note : TVerificationRows::Notes(judgement))
  {
    shown.append(Coloured(note, warning));
  }
  for (const QString &line : lines)
  {
    shown.append(Coloured(line, QColor(160, 80, 0)));
  }
  shown.append(TVerificationRecord::Rule_Words(record.rule, record.uncertainty).toHtmlEscaped());
  for (const QString &line : TVerificationRows::Basis_Lines(record, judgement))
  {
    shown.append(line.toHtmlEscaped());
  }
  d_summary_label->setHtml(shown.join(QStringLiteral("<br>")));
}

void TVerificationRecordForm::Show_Failure(const QString &heading, const QString &text,
                                           const QString &details)
{
  if (d_message_box)
  {
    d_message_box->Show(heading, text, details, QMessageBox::Ok, QMessageBox::Ok,
                        QMessageBox::Warning);
  }
}

void TVerificationRecordForm::Paste_Results()
{
  Paste_Text(QApplication::clipboard()->text());
}

void TVerificationRecordForm::Paste_Text(const QString &text)
{
  const QList<QStringList> rows = TVerificationResults::Tabbed_Rows(text);
  if (rows.isEmpty() || d_read_only)
  {
    return;
  }
  if (!d_editable)
  {
    emit New_Record_Needed();
    if (!d_editable)
    {
      return;
    }
  }
  // With a header the columns may come in any order, as in a file.
  if (rows.first().join(QLatin1Char(',')).contains(QLatin1String("length_mm"), Qt::CaseInsensitive))
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
    if (!TVerificationResults::Read_Csv(lines.join(QLatin1Char('\n')), &results, &error,
                                        Needs_Length()))
    {
      Show_Failure(QStringLiteral("Paste Error"),
                   QStringLiteral("Cannot paste the results: %1").arg(error), QString());
      return;
    }
    d_results->Set_Results(results, true);
    emit Record_Changed();
    return;
  }
  // Without one, the cells go in from the current cell on, in the table's columns; from a judged
  // column a pasted row starts at the length.
  const QModelIndex current = d_results_view->currentIndex();
  const int first_column =
      current.column() > 0 && current.column() < TVerificationResultsModel::ENTRY_COLUMNS
          ? current.column()
          : 0;
  d_results->Paste_Cells(std::max(0, current.row()), first_column, rows);
}

void TVerificationRecordForm::Import_Csv()
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
  if (!TVerificationResults::Read_File(file_name, &results, &error, Needs_Length()))
  {
    Show_Failure(QStringLiteral("Import Error"),
                 QStringLiteral("Cannot import the results: %1").arg(error), QString());
    return;
  }
  if (!d_editable)
  {
    emit New_Record_Needed();
  }
  d_results->Set_Results(results, d_editable);
  emit Record_Changed();
}

void TVerificationRecordForm::Remove_Rows()
{
  QList<int> rows;
  for (const QModelIndex &index : d_results_view->selectionModel()->selectedIndexes())
  {
    rows.append(index.row());
  }
  d_results->Remove_Rows(rows);
}

void TVerificationRecordForm::Add_Retests()
{
  QList<int> rows;
  for (const QModelIndex &index : d_results_view->selectionModel()->selectedIndexes())
  {
    rows.append(index.row());
  }
  if (!rows.contains(d_results_view->currentIndex().row()))
  {
    rows.append(d_results_view->currentIndex().row());
  }
  d_results->Add_Retests(rows);
}
