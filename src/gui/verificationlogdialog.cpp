#include "verificationlogdialog.h"

#include "database.h"
#include "filedialog.h"
#include "messagebox.h"
#include "specificationreport.h"
#include "statictextdelegate.h"
#include "verificationchartview.h"
#include "verificationrecordform.h"
#include "verificationrecordsmodel.h"
#include "verificationreport.h"
#include "verificationschedulepanel.h"
#include "verificationworkflow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace
{
const QString PDF_FILTER = QStringLiteral("Adobe PDF files (*.pdf)");

QPushButton *New_Button(const QString &text, const QString &name, QWidget *parent)
{
  QPushButton *button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}
// As QTableView::resizeColumnsToContents, sizing each column by its widest text alone: a log's
// records repeat most of their words, and the delegate's measure of every cell is the cost of
// opening the log. Each text's width is kept for the next opening, in the view's font.
void Fit_Columns(QTableView *view, QHash<QString, int> *widths, QFont *measured_font)
{
  const QAbstractItemModel *model = view->model();
  const QFontMetrics metrics = view->fontMetrics();
  // A session of many machines' logs keeps a few thousand texts at most.
  if (*measured_font != view->font() || widths->size() > 20000)
  {
    widths->clear();
    *measured_font = view->font();
  }
  for (int column = 0; column < model->columnCount(); ++column)
  {
    QSet<QString> measured;
    int widest_row = -1;
    int widest = -1;
    for (int row = 0; row < model->rowCount(); ++row)
    {
      const QString text = model->index(row, column).data().toString();
      if (measured.contains(text))
      {
        continue;
      }
      measured.insert(text);
      auto known = widths->constFind(text);
      if (known == widths->constEnd())
      {
        known = widths->insert(text, metrics.horizontalAdvance(text));
      }
      const int width = known.value();
      if (width > widest)
      {
        widest = width;
        widest_row = row;
      }
    }
    int width = view->horizontalHeader()->sectionSizeHint(column);
    if (widest_row >= 0)
    {
      // The grid's line beside the cell, as the view counts it.
      width = std::max(width, view->sizeHintForIndex(model->index(widest_row, column)).width() +
                                  (view->showGrid() ? 1 : 0));
    }
    view->setColumnWidth(column, width);
  }
}
} // namespace

TVerificationLogDialog::TVerificationLogDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
  setWindowTitle(QStringLiteral("Verification Log"));
  resize(DEFAULT_WIDTH, DEFAULT_HEIGHT);
  QVBoxLayout *layout = new QVBoxLayout(this);

  d_machine_label = new QLabel(this);
  d_machine_label->setObjectName(QStringLiteral("machine_label"));
  d_machine_label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 12pt"));
  layout->addWidget(d_machine_label);
  d_read_only_label = new QLabel(
      QStringLiteral("The catalogue is read-only: its log is shown, not written."), this);
  d_read_only_label->setObjectName(QStringLiteral("read_only_label"));
  d_read_only_label->setStyleSheet(QStringLiteral("color: #a05a00"));
  d_read_only_label->hide();
  layout->addWidget(d_read_only_label);
  d_schedule = new TVerificationSchedulePanel(this);
  layout->addWidget(d_schedule);

  // The records above, the record shown below beside its plots.
  QSplitter *splitter = new QSplitter(Qt::Vertical, this);
  layout->addWidget(splitter, 1);
  QWidget *records = new QWidget(splitter);
  QVBoxLayout *records_layout = new QVBoxLayout(records);
  records_layout->setContentsMargins(0, 0, 0, 0);
  records_layout->addWidget(new QLabel(QStringLiteral("Records:"), records));
  d_records = new TVerificationRecordsModel(this);
  d_records_view = new QTableView(records);
  d_records_view->setObjectName(QStringLiteral("records_table"));
  d_records_view->setModel(d_records);
  d_records_view->setItemDelegate(new TStaticTextDelegate(d_records_view));
  d_records_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  d_records_view->setSelectionMode(QAbstractItemView::SingleSelection);
  d_records_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  d_records_view->verticalHeader()->hide();
  d_records_view->verticalHeader()->setDefaultSectionSize(d_records_view->fontMetrics().height() +
                                                          6);
  d_records_view->horizontalHeader()->setStretchLastSection(true);
  d_records_view->setMinimumHeight(d_records_view->horizontalHeader()->sizeHint().height() +
                                   4 * d_records_view->verticalHeader()->defaultSectionSize());
  records_layout->addWidget(d_records_view, 1);
  QHBoxLayout *record_buttons = new QHBoxLayout();
  d_new_button =
      New_Button(QStringLiteral("New Record"), QStringLiteral("new_record_button"), records);
  d_delete_button =
      New_Button(QStringLiteral("Delete Record"), QStringLiteral("delete_record_button"), records);
  d_report_button =
      New_Button(QStringLiteral("Report..."), QStringLiteral("report_button"), records);
  record_buttons->addWidget(d_new_button);
  record_buttons->addWidget(d_delete_button);
  record_buttons->addWidget(d_report_button);
  record_buttons->addStretch();
  records_layout->addLayout(record_buttons);

  d_record_splitter = new QSplitter(Qt::Horizontal, splitter);
  d_form = new TVerificationRecordForm(d_record_splitter);
  d_tabs = new QTabWidget(d_record_splitter);
  d_tabs->setObjectName(QStringLiteral("plot_tabs"));
  d_errors_plot = new TVerificationChartView(d_tabs);
  d_errors_plot->setObjectName(QStringLiteral("errors_plot"));
  // The plot gives way to the form in a narrow window.
  d_errors_plot->setMinimumWidth(300);
  d_tabs->addTab(d_errors_plot, QStringLiteral("Errors over Length"));
  QWidget *trend = new QWidget(d_tabs);
  d_trend_tab = trend;
  QVBoxLayout *trend_layout = new QVBoxLayout(trend);
  QHBoxLayout *trend_switch = new QHBoxLayout();
  d_trend_combo = new QComboBox(trend);
  d_trend_combo->setObjectName(QStringLiteral("trend_combo"));
  d_trend_combo->addItems({QStringLiteral("Largest share of each record"),
                           QStringLiteral("Interim checks per length")});
  trend_switch->addWidget(new QLabel(QStringLiteral("Show:"), trend));
  trend_switch->addWidget(d_trend_combo);
  trend_switch->addStretch();
  trend_layout->addLayout(trend_switch);
  d_trend_plot = new TVerificationChartView(trend);
  d_trend_plot->setObjectName(QStringLiteral("trend_plot"));
  d_trend_plot->setMinimumWidth(300);
  trend_layout->addWidget(d_trend_plot, 1);
  d_tabs->addTab(trend, QStringLiteral("Trend"));
  d_record_splitter->setStretchFactor(0, 1);
  d_record_splitter->setStretchFactor(1, 1);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);

  QHBoxLayout *close_layout = new QHBoxLayout();
  close_layout->addStretch();
  QPushButton *close_button =
      New_Button(QStringLiteral("Close"), QStringLiteral("close_button"), this);
  close_layout->addWidget(close_button);
  layout->addLayout(close_layout);

  connect(d_records_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TVerificationLogDialog::Record_Selected);
  connect(d_new_button, &QPushButton::clicked, this, &TVerificationLogDialog::New_Record);
  connect(d_delete_button, &QPushButton::clicked, this, &TVerificationLogDialog::Delete_Record);
  connect(d_report_button, &QPushButton::clicked, this, &TVerificationLogDialog::Write_Report);
  connect(close_button, &QPushButton::clicked, this, &QDialog::accept);
  connect(d_schedule, &TVerificationSchedulePanel::Save_Requested, this,
          &TVerificationLogDialog::Save_Schedule);
  connect(d_form, &TVerificationRecordForm::Record_Changed, this,
          &TVerificationLogDialog::Judge_Form);
  connect(d_form, &TVerificationRecordForm::Save_Requested, this,
          &TVerificationLogDialog::Save_Record);
  connect(d_form, &TVerificationRecordForm::New_Record_Needed, this,
          &TVerificationLogDialog::New_Record);
  connect(d_trend_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          &TVerificationLogDialog::Update_Trend);
  connect(d_tabs, &QTabWidget::currentChanged, this, &TVerificationLogDialog::Show_Trend);
}

TVerificationLogDialog::~TVerificationLogDialog() = default;

void TVerificationLogDialog::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  if (!event->spontaneous() && !d_shown)
  {
    // The form as wide as its results' columns where the window allows, the plot the rest.
    d_shown = true;
    const int total = d_record_splitter->width();
    const int form = std::min(d_form->Preferred_Width(), total - d_tabs->minimumSizeHint().width());
    d_record_splitter->setSizes({form, total - form});
  }
}

void TVerificationLogDialog::Set_Message_Box(TMessageBox *message_box)
{
  d_message_box = message_box;
  d_form->Set_Message_Box(message_box);
}

void TVerificationLogDialog::Set_Folder(const QString &folder)
{
  d_folder = folder;
  d_last_file_name.clear();
  d_form->Set_Folder(folder);
}

QString TVerificationLogDialog::Last_File_Name() const
{
  return d_last_file_name.isEmpty() ? d_form->Last_File_Name() : d_last_file_name;
}

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
  d_make = make;
  d_model = model;
  d_option = option;
  d_machine_label->setText(QStringLiteral("%1 / %2 / %3").arg(make, model, option));
  d_tabs->setCurrentIndex(0);
  {
    // Show_Records draws the trend.
    const QSignalBlocker blocker(d_trend_combo);
    d_trend_combo->setCurrentIndex(0);
  }
  d_log = std::make_unique<TVerificationWorkflow>(database);
  // The list shows each record's stored verdict; a record's results are read when it is shown.
  if (!d_log->Load(make, model, option, false))
  {
    Show_Failure(QStringLiteral("Read Error"),
                 QStringLiteral("Cannot read the machine's verification log."), d_log->Error());
    return false;
  }
  d_form->Set_Components(d_log->Judged_Components());
  d_schedule->Set_Intervals(d_log->Intervals());
  d_read_only = d_log->Is_Read_Only();
  d_read_only_label->setVisible(d_read_only);
  d_schedule->Set_Read_Only(d_read_only);
  d_form->Set_Read_Only(d_read_only);
  d_new_button->setEnabled(!d_read_only);
  Show_Records(0);
  // A catalogue that takes no writes opens on its latest record.
  if (d_read_only && d_records->rowCount() > 0)
  {
    d_records_view->selectRow(d_records->rowCount() - 1);
  }
  else
  {
    New_Record();
  }
  return true;
}

void TVerificationLogDialog::Show_Records(int selected_number)
{
  {
    const QSignalBlocker blocker(d_records_view->selectionModel());
    d_records->Set_Entries(d_log->Entries());
    const int row = d_records->Row_Of(selected_number);
    if (row >= 0)
    {
      d_records_view->selectRow(row);
    }
  }
  Fit_Columns(d_records_view, &d_text_widths, &d_measured_font);
  Update_Schedule();
  Update_Trend();
}

bool TVerificationLogDialog::Reload(int selected_number)
{
  const bool loaded = d_log->Load(d_make, d_model, d_option, false);
  if (!loaded)
  {
    Show_Failure(QStringLiteral("Read Error"), QStringLiteral("Cannot read the records."),
                 d_log->Error());
  }
  Show_Records(selected_number);
  return loaded;
}

int TVerificationLogDialog::Selected_Number() const
{
  const QModelIndexList rows = d_records_view->selectionModel()->selectedRows();
  return rows.isEmpty() ? 0 : d_records->Entries().value(rows.first().row()).record.number;
}

bool TVerificationLogDialog::Read_Results(int number)
{
  if (d_log->Read_Results(number))
  {
    return true;
  }
  Show_Failure(QStringLiteral("Read Error"), QStringLiteral("Cannot read the records."),
               d_log->Error());
  return false;
}

void TVerificationLogDialog::Record_Selected()
{
  const int number = Selected_Number();
  if (number <= 0)
  {
    return;
  }
  // A record deleted meanwhile by another program is gone from the list as well.
  if (!Read_Results(number))
  {
    Reload(0);
    New_Record();
    return;
  }
  d_form->Show_Record(d_log->Entry(number)->record, false);
  d_delete_button->setEnabled(!d_read_only);
  d_report_button->setEnabled(true);
  Judge_Form();
}

void TVerificationLogDialog::New_Record()
{
  // A catalogue that takes no writes gets an empty form that takes no entries.
  {
    const QSignalBlocker blocker(d_records_view->selectionModel());
    d_records_view->clearSelection();
  }
  TVerificationRecord record;
  record.date = QDate::currentDate();
  // The next check of a log with records is most often of the same kind and rule.
  const QList<TVerificationWorkflow::TEntry> &entries = d_records->Entries();
  if (!entries.isEmpty())
  {
    const TVerificationRecord &last = entries.last().record;
    record.kind = last.kind == TVerificationRecord::KIND_ACCEPTANCE
                      ? TVerificationRecord::KIND_REVERIFICATION
                      : last.kind;
    record.rule = last.rule;
    record.standard = last.standard;
    record.component = last.component;
  }
  d_form->Show_Record(record, true);
  d_delete_button->setEnabled(false);
  d_report_button->setEnabled(false);
  Judge_Form();
}

void TVerificationLogDialog::Judge_Form()
{
  const TVerificationWorkflow::TEntry *stored =
      d_form->Is_Editable() ? nullptr : d_log->Entry(Selected_Number());
  TVerificationRecord record;
  QStringList errors;
  TVerificationJudgement::TJudgement judgement;
  TVerificationJudgement::TLimitLines lines;
  double length = 0.0;
  if (stored)
  {
    // A stored record by the figures stored with it, whatever the catalogue holds now.
    record = stored->record;
    judgement = stored->judgement;
    length = TVerificationJudgement::Plot_Length(record);
    lines = TVerificationJudgement::Limit_Lines(record, judgement.basis, length);
  }
  else
  {
    d_form->Entered_Record(&record, &errors);
    judgement = d_log->Judge(record);
    length = TVerificationJudgement::Plot_Length(record);
    lines = TVerificationJudgement::Limit_Lines(record, d_log->Machine(), length);
  }
  d_form->Show_Judgement(record, judgement, errors, stored ? stored->changes : QStringList());
  // The plot shows what was judged: a result its retest replaced is in the table alone.
  TVerificationJudgement::TJudgement plotted = judgement;
  plotted.results.erase(std::remove_if(plotted.results.begin(), plotted.results.end(),
                                       [](const TVerificationJudgement::TJudgedResult &result)
                                       { return result.superseded; }),
                        plotted.results.end());
  d_errors_plot->Set_Errors(record, plotted, lines, length);
}

void TVerificationLogDialog::Save_Record()
{
  TVerificationRecord record;
  QStringList errors;
  if (!d_form->Entered_Record(&record, &errors))
  {
    // The reasons in the message itself: a refusal is read, details are not.
    Show_Failure(QStringLiteral("Save Error"),
                 QStringLiteral("Cannot save the record: %1").arg(errors.join(QLatin1Char(' '))),
                 QString());
    return;
  }
  bool saved = d_log->Save(&record);
  // The same check stored before is kept twice only when the user says so.
  if (!saved && d_log->Same_Number() > 0 && d_message_box &&
      d_message_box->Show(QStringLiteral("Save Record"),
                          QStringLiteral("Record %1 holds the same check: the same date, kind, "
                                         "component and results. Save this one as well?")
                              .arg(d_log->Same_Number()),
                          QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                          QMessageBox::Question) == QMessageBox::Yes)
  {
    saved = d_log->Save(&record, nullptr, true);
  }
  if (!saved)
  {
    if (d_log->Same_Number() == 0)
    {
      Show_Failure(QStringLiteral("Save Error"),
                   QStringLiteral("Cannot save the record: %1").arg(d_log->Error()), QString());
    }
    return;
  }
  if (!d_log->Error().isEmpty())
  {
    Show_Failure(QStringLiteral("Read Error"), d_log->Error(), QString());
  }
  Show_Records(record.number);
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
  if (!d_log->Remove(number))
  {
    Show_Failure(QStringLiteral("Delete Error"),
                 QStringLiteral("Cannot delete the record: %1").arg(d_log->Error()), QString());
  }
  Reload(0);
  New_Record();
}

void TVerificationLogDialog::Write_Report()
{
  const int number = Selected_Number();
  if (number <= 0 || !Read_Results(number))
  {
    return;
  }
  const TVerificationWorkflow::TEntry *entry = d_log->Entry(number);
  QString file_name = TFileDialog::Get_Save_File_Name(this, QStringLiteral("Verification report"),
                                                      d_folder, PDF_FILTER);
  if (file_name.isEmpty())
  {
    return;
  }
  file_name = TSpecificationReport::Appended_Pdf_Suffix(file_name);
  d_last_file_name = file_name;
  QString error;
  if (!TVerificationReport::Write(file_name, d_make, d_model, d_option, entry->record,
                                  entry->judgement, entry->changes, &error))
  {
    Show_Failure(QStringLiteral("Output Error"),
                 QStringLiteral("Cannot write the verification report."), error);
  }
}

void TVerificationLogDialog::Save_Schedule()
{
  if (!d_log->Set_Intervals(d_schedule->Intervals()))
  {
    Show_Failure(QStringLiteral("Save Error"),
                 QStringLiteral("Cannot save the schedule: %1").arg(d_log->Error()), QString());
    d_schedule->Set_Intervals(d_log->Intervals());
  }
  Update_Schedule();
}

void TVerificationLogDialog::Update_Schedule()
{
  d_schedule->Show_Schedule(d_log->Schedule(), QDate::currentDate());
}

void TVerificationLogDialog::Update_Trend()
{
  d_trend_current = false;
  Show_Trend();
}

void TVerificationLogDialog::Show_Trend()
{
  // Drawn when its tab is in front: the log opens on the errors plot.
  if (d_trend_current || !d_log || d_tabs->currentWidget() != d_trend_tab)
  {
    return;
  }
  // Every record's results for the trend per length.
  if (d_trend_combo->currentIndex() != 0 && !Read_Results(0))
  {
    return;
  }
  d_trend_current = true;
  const QList<TVerificationWorkflow::TEntry> &entries = d_log->Entries();
  // The records in date order; a stable sort keeps one day's in the order they were added.
  QList<int> order;
  for (int index = 0; index < entries.size(); ++index)
  {
    order.append(index);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&entries](int first, int second)
                   { return entries.at(first).record.date < entries.at(second).record.date; });

  if (d_trend_combo->currentIndex() == 0)
  {
    QList<TVerificationChartView::TTrendPoint> points;
    for (const int index : qAsConst(order))
    {
      const TVerificationJudgement::TJudgement &judgement = entries.at(index).judgement;
      if (judgement.has_share)
      {
        points.append({entries.at(index).record.date, judgement.largest_share, judgement.verdict});
      }
    }
    d_trend_plot->Set_Trend(points);
    return;
  }
  // Each length's share is the largest share of an interim check's results at that length,
  // judged by the figures stored with the record: a control chart per length. Interim checks
  // alone, as their lengths are the same each time.
  std::map<double, TVerificationChartView::TTrendLine> lines;
  for (const int index : qAsConst(order))
  {
    const TVerificationWorkflow::TEntry &entry = entries.at(index);
    if (entry.record.kind != TVerificationRecord::KIND_INTERIM)
    {
      continue;
    }
    std::map<double, TVerificationRecord> by_length;
    for (const TVerificationResult &result : entry.record.results)
    {
      TVerificationRecord &part = by_length[result.length + 0.0];
      if (part.results.isEmpty())
      {
        part = entry.record;
        part.results.clear();
      }
      part.results.append(result);
    }
    for (const auto &length : by_length)
    {
      const TVerificationJudgement::TJudgement judgement =
          TVerificationJudgement::Judge(length.second, entry.judgement.basis);
      if (judgement.has_share)
      {
        TVerificationChartView::TTrendLine &line = lines[length.first];
        line.name = QStringLiteral("%1 mm").arg(TVerificationRecord::Number_Text(length.first));
        line.points.append({entry.record.date, judgement.largest_share, judgement.verdict});
      }
    }
  }
  QList<TVerificationChartView::TTrendLine> shown;
  for (const auto &line : lines)
  {
    shown.append(line.second);
  }
  d_trend_plot->Set_Length_Trend(shown);
}
