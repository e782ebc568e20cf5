#include "comparemachinesdialog.h"

#include "comparisonmodel.h"
#include "database.h"
#include "filedialog.h"
#include "invalidmarker.h"
#include "limitschartview.h"
#include "limitsseries.h"
#include "messagebox.h"
#include "namelistdelegate.h"
#include "safefile.h"
#include "windowunits.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStringListModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace
{
constexpr int FITTED_ROWS = 100;
// Names are cleaned of slashes, so the separator cannot occur inside one.
const QString NAME_SEPARATOR = QStringLiteral(" / ");
const QString CSV_FILTER = QStringLiteral("Comma Separated File (*.csv)");

QPushButton *New_Button(QWidget *parent, const QString &text, const QString &object_name)
{
  QPushButton *button = new QPushButton(text, parent);
  button->setObjectName(object_name);
  button->setAutoDefault(false);
  return button;
}

// Wide enough for what is usually typed into it.
QLineEdit *New_Field(QWidget *parent, const QString &text, const QString &object_name,
                     const QString &widest_text = QStringLiteral("8888.88"))
{
  QLineEdit *field = new QLineEdit(text, parent);
  field->setObjectName(object_name);
  field->setAlignment(Qt::AlignCenter);
  field->setMinimumWidth(field->fontMetrics().horizontalAdvance(widest_text) + 16);
  return field;
}

QString Length_Text(double length)
{
  return QString::number(length, 'g', 10);
}
} // namespace

TCompareMachinesDialog::TCompareMachinesDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), d_database(nullptr), d_results_shown(false), d_drawn(0)
{
  setWindowTitle(QStringLiteral("Compare Machines"));
  // Fits a 1280 x 1024 screen with the window's frame.
  resize(1240, 880);
  QVBoxLayout *dialog_layout = new QVBoxLayout(this);
  // The catalogue to pick from and the inputs above the table and the plot, which get the
  // dialog's full width; the three share its height as the user likes.
  QSplitter *rows = new QSplitter(Qt::Vertical, this);
  rows->setChildrenCollapsible(false);
  dialog_layout->addWidget(rows, 1);
  QWidget *top = new QWidget(rows);
  QHBoxLayout *top_layout = new QHBoxLayout(top);
  top_layout->setContentsMargins(0, 0, 0, 0);
  top_layout->addWidget(Build_Picker(top), 2);
  top_layout->addWidget(Build_Inputs(top), 3);
  rows->addWidget(top);
  Build_Table(rows);
  Build_Chart(rows);
  // The plot gets the larger share: its drawing at least a third of the dialog's height.
  rows->setStretchFactor(1, 1);
  rows->setStretchFactor(2, 2);
  rows->setSizes({160, 160, 440});

  d_status_label = new QLabel(this);
  d_status_label->setObjectName(QStringLiteral("status_label"));
  d_status_label->setWordWrap(true);
  dialog_layout->addWidget(d_status_label);
  QFrame *line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  dialog_layout->addWidget(line);
  dialog_layout->addLayout(Build_Buttons());

  d_message_box = new TMessageBox(this);
  d_message_box->setWindowTitle(windowTitle());
  d_filter_edit->setFocus();

  Refresh();
}

QWidget *TCompareMachinesDialog::Build_Picker(QWidget *parent)
{
  QWidget *picker = new QWidget(parent);
  QVBoxLayout *layout = new QVBoxLayout(picker);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(QStringLiteral("Machines (make, model, option):"), picker));
  d_filter_edit = new QLineEdit(picker);
  d_filter_edit->setObjectName(QStringLiteral("filter_edit"));
  d_filter_edit->setPlaceholderText(QStringLiteral("Filter"));
  d_filter_edit->setClearButtonEnabled(true);
  layout->addWidget(d_filter_edit);
  d_catalogue_model = new QStringListModel(this);
  d_catalogue_filter = new QSortFilterProxyModel(this);
  d_catalogue_filter->setSourceModel(d_catalogue_model);
  d_catalogue_view = new QListView(picker);
  d_catalogue_view->setObjectName(QStringLiteral("catalogue_list"));
  d_catalogue_view->setModel(d_catalogue_filter);
  d_catalogue_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  d_catalogue_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Every entry is one line of the same size, the widest name's: the view need not measure
  // 20,000 of them, and a narrow dialog scrolls to a long name instead of cutting it.
  d_catalogue_view->setUniformItemSizes(true);
  d_catalogue_view->setItemDelegate(new TNameListDelegate(d_catalogue_view));
  d_catalogue_view->setMinimumHeight(3 * d_catalogue_view->fontMetrics().lineSpacing() + 8);
  layout->addWidget(d_catalogue_view, 1);
  QHBoxLayout *buttons = new QHBoxLayout();
  QPushButton *add_button = New_Button(picker, QStringLiteral("Add"), QStringLiteral("add_button"));
  d_remove_button = New_Button(picker, QStringLiteral("Remove"), QStringLiteral("remove_button"));
  d_clear_button = New_Button(picker, QStringLiteral("Clear"), QStringLiteral("clear_button"));
  buttons->addWidget(add_button);
  buttons->addWidget(d_remove_button);
  buttons->addWidget(d_clear_button);
  layout->addLayout(buttons);

  connect(d_filter_edit, &QLineEdit::textChanged, this, &TCompareMachinesDialog::Filter_Changed);
  connect(d_catalogue_view, &QListView::doubleClicked, this, &TCompareMachinesDialog::Add_Selected);
  connect(add_button, &QPushButton::clicked, this, &TCompareMachinesDialog::Add_Selected);
  connect(d_remove_button, &QPushButton::clicked, this, &TCompareMachinesDialog::Remove_Selected);
  connect(d_clear_button, &QPushButton::clicked, this, &TCompareMachinesDialog::Clear_Machines);
  return picker;
}

QWidget *TCompareMachinesDialog::Build_Inputs(QWidget *parent)
{
  QWidget *inputs = new QWidget(parent);
  QGridLayout *grid = new QGridLayout(inputs);
  grid->setContentsMargins(0, 0, 0, 0);
  d_component_combo = new QComboBox(inputs);
  d_component_combo->setObjectName(QStringLiteral("component_combo"));
  d_component_combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  d_lengths_edit = New_Field(inputs, QStringLiteral("100, 500, 1000"),
                             QStringLiteral("lengths_edit"), QStringLiteral("100, 500, 1000"));
  d_temperature_edit =
      New_Field(inputs, QStringLiteral("20.00"), QStringLiteral("temperature_edit"));
  d_feature_length_edit = New_Field(inputs, QString(), QStringLiteral("feature_length_edit"));
  d_tolerance_edit = New_Field(inputs, QString(), QStringLiteral("tolerance_edit"));
  d_ratio_combo = new QComboBox(inputs);
  d_ratio_combo->setObjectName(QStringLiteral("ratio_combo"));
  d_ratio_combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  d_ratio_combo->addItem(QStringLiteral("4:1"), TCapability::DEFAULT_RATIO);
  d_ratio_combo->addItem(QStringLiteral("10:1"), TCapability::STRICT_RATIO);
  d_lengths_marker = new TInvalidMarker(inputs, QStringLiteral("lengths_invalid"));
  d_temperature_marker = new TInvalidMarker(inputs, QStringLiteral("temperature_invalid"));
  d_feature_length_marker = new TInvalidMarker(inputs, QStringLiteral("feature_length_invalid"));
  d_tolerance_marker = new TInvalidMarker(inputs, QStringLiteral("tolerance_invalid"));
  const struct
  {
    const char *label;
    QWidget *field;
    QString unit;
    TInvalidMarker *marker;
    int row;
    int column;
  } fields[] = {
      {"Component:", d_component_combo, QString(), nullptr, 0, 0},
      {"Lengths:", d_lengths_edit, QStringLiteral("mm"), d_lengths_marker, 1, 0},
      {"Temperature:", d_temperature_edit, TWindowUnits::CELSIUS, d_temperature_marker, 2, 0},
      {"Feature Length:", d_feature_length_edit, QStringLiteral("mm"), d_feature_length_marker, 0,
       4},
      {"Tolerance Span:", d_tolerance_edit, TWindowUnits::MICROMETRES, d_tolerance_marker, 1, 4},
      {"Required Ratio:", d_ratio_combo, QString(), nullptr, 2, 4}};
  for (const auto &field : fields)
  {
    grid->addWidget(new QLabel(QLatin1String(field.label), inputs), field.row, field.column);
    grid->addWidget(field.field, field.row, field.column + 1);
    grid->addWidget(new QLabel(field.unit, inputs), field.row, field.column + 2);
    if (field.marker)
    {
      grid->addWidget(field.marker, field.row, field.column + 3);
    }
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(5, 1);

  // Which machines the table shows: the ones picked, or the catalogue's capable ones.
  QHBoxLayout *shown = new QHBoxLayout();
  d_picked_button = new QRadioButton(QStringLiteral("Picked machines"), inputs);
  d_picked_button->setObjectName(QStringLiteral("picked_button"));
  d_picked_button->setChecked(true);
  d_capable_button = new QRadioButton(QStringLiteral("Capable machines"), inputs);
  d_capable_button->setObjectName(QStringLiteral("capable_button"));
  shown->addWidget(new QLabel(QStringLiteral("Show:"), inputs));
  shown->addWidget(d_picked_button);
  shown->addWidget(d_capable_button);
  shown->addStretch();
  grid->addLayout(shown, 3, 0, 1, 8);
  grid->setRowStretch(4, 1);

  for (QLineEdit *field :
       {d_lengths_edit, d_temperature_edit, d_feature_length_edit, d_tolerance_edit})
  {
    connect(field, &QLineEdit::editingFinished, this, &TCompareMachinesDialog::Settings_Changed);
  }
  for (QComboBox *combo : {d_component_combo, d_ratio_combo})
  {
    connect(combo, QOverload<int>::of(&QComboBox::activated), this,
            &TCompareMachinesDialog::Settings_Changed);
  }
  connect(d_capable_button, &QRadioButton::toggled, this,
          &TCompareMachinesDialog::Shown_Machines_Changed);
  return inputs;
}

void TCompareMachinesDialog::Build_Table(QSplitter *splitter)
{
  d_model = new TComparisonModel(this);
  d_sorted_model = new QSortFilterProxyModel(this);
  d_sorted_model->setSourceModel(d_model);
  d_sorted_model->setSortRole(TComparisonModel::SORT_ROLE);
  d_table_view = new QTableView(splitter);
  d_table_view->setObjectName(QStringLiteral("comparison_table"));
  d_table_view->setModel(d_sorted_model);
  d_table_view->setSortingEnabled(true);
  d_table_view->sortByColumn(-1, Qt::AscendingOrder);
  d_table_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  d_table_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  d_table_view->verticalHeader()->setDefaultSectionSize(22);
  d_table_view->verticalHeader()->hide();
  // The three-line heading and a few rows, at the least.
  d_table_view->setMinimumHeight(3 * d_table_view->fontMetrics().lineSpacing() + 4 * 22 + 8);
  splitter->addWidget(d_table_view);

  connect(d_table_view->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
          &TCompareMachinesDialog::Fit_Columns);
}

void TCompareMachinesDialog::Build_Chart(QSplitter *splitter)
{
  QWidget *pane = new QWidget(splitter);
  QVBoxLayout *layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  d_chart_view = new TLimitsChartView(pane);
  d_chart_view->setObjectName(QStringLiteral("comparison_plot"));
  layout->addWidget(d_chart_view, 1);
  d_plot_note = new QLabel(pane);
  d_plot_note->setObjectName(QStringLiteral("plot_note"));
  d_plot_note->setWordWrap(true);
  d_plot_note->hide();
  layout->addWidget(d_plot_note);
  splitter->addWidget(pane);
}

QLayout *TCompareMachinesDialog::Build_Buttons()
{
  QHBoxLayout *buttons = new QHBoxLayout();
  QLabel *caveat = new QLabel(QLatin1String(TCapability::CAVEAT), this);
  caveat->setObjectName(QStringLiteral("caveat_label"));
  caveat->setStyleSheet(QStringLiteral("font-style: italic"));
  caveat->setWordWrap(true);
  buttons->addWidget(caveat, 1);
  d_copy_button = New_Button(this, QStringLiteral("Copy"), QStringLiteral("copy_button"));
  d_export_button =
      New_Button(this, QStringLiteral("Export CSV..."), QStringLiteral("export_button"));
  QPushButton *close_button =
      New_Button(this, QStringLiteral("Close"), QStringLiteral("close_button"));
  buttons->addWidget(d_copy_button);
  buttons->addWidget(d_export_button);
  buttons->addWidget(close_button);

  connect(d_copy_button, &QPushButton::clicked, this, &TCompareMachinesDialog::Copy_Table);
  connect(d_export_button, &QPushButton::clicked, this, &TCompareMachinesDialog::Export_Csv);
  connect(close_button, &QPushButton::clicked, this, &QDialog::close);
  return buttons;
}

TCompareMachinesDialog::~TCompareMachinesDialog()
{
  // QDialog hides itself on destruction, which takes the focus from a field: its editingFinished
  // must not reach members already destroyed.
  for (QObject *child : findChildren<QObject *>())
  {
    child->disconnect(this);
  }
}

bool TCompareMachinesDialog::Set_Database(TDatabase *database)
{
  Q_ASSERT(database);
  d_database = database;
  d_configurations.clear();
  d_picked.clear();
  d_capable.clear();
  {
    const QSignalBlocker blocker(d_capable_button);
    d_picked_button->setChecked(true);
  }
  d_component_combo->clear();

  bool valid = false;
  QStringList entries;
  const QStringList makes = database->Makes(&valid);
  for (int index = 0; valid && index < makes.size(); ++index)
  {
    for (const auto &pair : database->Configurations(makes.at(index), &valid))
    {
      d_configurations.append({makes.at(index), pair.first, pair.second});
    }
  }
  // In the order of the window's lists: by make, then model, then option.
  std::sort(d_configurations.begin(), d_configurations.end(),
            [](const TConfiguration &first, const TConfiguration &second)
            {
              return std::tie(first.make, first.model, first.option) <
                     std::tie(second.make, second.model, second.option);
            });
  for (const TConfiguration &configuration : qAsConst(d_configurations))
  {
    entries.append(configuration.make + NAME_SEPARATOR + configuration.model + NAME_SEPARATOR +
                   configuration.option);
  }
  // Every length-dependent component of every standard, 10360 E0 first.
  const QStringList standards = valid ? database->Standard_Types(&valid) : QStringList();
  for (int index = 0; valid && index < standards.size(); ++index)
  {
    const QString &standard = standards.at(index);
    for (const QString &component : database->Component_Types(standard, &valid))
    {
      if (TCapability::Is_Length_Dependent(
              database->Component_Type_Expression_Types(standard, component)))
      {
        d_component_combo->addItem(standard + QLatin1Char(' ') + component,
                                   QStringList{standard, component});
      }
    }
  }
  const TCapability::TRequest default_request;
  d_component_combo->setCurrentIndex(
      std::max(0, d_component_combo->findData(
                      QStringList{default_request.standard, default_request.component})));
  d_catalogue_model->setStringList(entries);
  if (!valid)
  {
    d_configurations.clear();
    d_catalogue_model->setStringList({});
    Show_Status(QStringLiteral("Cannot read the catalogue: %1").arg(database->Last_Error()), true);
    Refresh();
    return false;
  }
  Refresh();
  // An input left invalid from the last time says so first.
  if (d_results_shown)
  {
    Show_Status(QStringLiteral("%1 configurations in the catalogue").arg(entries.size()), false);
  }
  return true;
}

bool TCompareMachinesDialog::Add_Machine(const QString &make, const QString &model,
                                         const QString &option)
{
  const bool read = Read_Machine(make, model, option);
  Refresh();
  return read;
}

bool TCompareMachinesDialog::Read_Machine(const QString &make, const QString &model,
                                          const QString &option)
{
  if (!d_database)
  {
    return false;
  }
  for (const TCapability::TMachine &machine : qAsConst(d_picked))
  {
    if (machine.make == make && machine.model == model && machine.option == option)
    {
      return true;
    }
  }
  bool valid = false;
  const QList<TDatabaseItem> records = d_database->Read_Configuration(make, model, option, &valid);
  if (!valid)
  {
    Show_Status(
        QStringLiteral("Cannot read %1: %2")
            .arg(make + NAME_SEPARATOR + model + NAME_SEPARATOR + option, d_database->Last_Error()),
        true);
    return false;
  }
  d_picked.append({make, model, option, records});
  return true;
}

void TCompareMachinesDialog::Filter_Changed(const QString &text)
{
  // Every word must occur, in any order and letter case: "zeta 7106" finds "Zeta / Vector 7106".
  QString pattern = QStringLiteral("^");
  for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
  {
    pattern += QStringLiteral("(?=.*%1)").arg(QRegularExpression::escape(word));
  }
  d_catalogue_filter->setFilterRegularExpression(
      QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption));
}

void TCompareMachinesDialog::Add_Selected()
{
  // What is added is seen: the picked machines come back.
  if (Showing_Capable())
  {
    const QSignalBlocker blocker(d_capable_button);
    d_picked_button->setChecked(true);
  }
  QModelIndexList selected = d_catalogue_view->selectionModel()->selectedIndexes();
  std::sort(selected.begin(), selected.end());
  int added = 0;
  for (const QModelIndex &index : qAsConst(selected))
  {
    const TConfiguration &configuration =
        d_configurations.at(d_catalogue_filter->mapToSource(index).row());
    if (!Read_Machine(configuration.make, configuration.model, configuration.option))
    {
      break;
    }
    ++added;
  }
  Refresh();
  if (added == selected.size() && d_results_shown)
  {
    Show_Status(QStringLiteral("%1 machines compared, %2 drawn").arg(d_picked.size()).arg(d_drawn),
                false);
  }
}

void TCompareMachinesDialog::Remove_Selected()
{
  if (Showing_Capable())
  {
    return;
  }
  QList<int> rows;
  for (const QModelIndex &index : d_table_view->selectionModel()->selectedRows())
  {
    rows.append(d_sorted_model->mapToSource(index).row());
  }
  // From the last, so that the earlier rows keep their places.
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  for (const int row : qAsConst(rows))
  {
    d_picked.removeAt(row);
  }
  Refresh();
}

void TCompareMachinesDialog::Clear_Machines()
{
  if (Showing_Capable())
  {
    return;
  }
  d_picked.clear();
  Refresh();
}

void TCompareMachinesDialog::Settings_Changed()
{
  Refresh();
}

void TCompareMachinesDialog::Shown_Machines_Changed()
{
  Refresh();
  if (Showing_Capable() && d_settings.with_tolerance)
  {
    d_table_view->sortByColumn(TComparison::Ratio_Column(d_settings), Qt::DescendingOrder);
  }
}

bool TCompareMachinesDialog::Showing_Capable() const
{
  return d_capable_button->isChecked();
}

bool TCompareMachinesDialog::Rank_Catalogue()
{
  d_capable.clear();
  if (!d_database || !d_settings.with_tolerance)
  {
    Show_Status(QStringLiteral("Give a feature length and a tolerance span to rank the catalogue"),
                true);
    return false;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const TCapability::TRequest &request = d_settings.request;
  bool valid = false;
  const QList<TCapability::TMachine> catalogue =
      d_database->Component_Machines(request.standard, request.component, &valid);
  QList<TCapability::TRanked> ranked;
  if (valid)
  {
    ranked = TCapability::Rank(request, catalogue, true);
  }
  QApplication::restoreOverrideCursor();
  if (!valid)
  {
    Show_Status(QStringLiteral("Cannot read the catalogue: %1").arg(d_database->Last_Error()),
                true);
    return false;
  }
  for (const TCapability::TRanked &entry : qAsConst(ranked))
  {
    d_capable.append(entry.machine);
  }
  Show_Status(QStringLiteral("%1 of %2 configurations reach %3:1 for %4 at %5 mm and %6 %7")
                  .arg(ranked.size())
                  .arg(catalogue.size())
                  .arg(request.ratio)
                  .arg(request.component, Length_Text(request.feature_length),
                       QString::number(request.temperature, 'f', 1), TWindowUnits::CELSIUS),
              false);
  return true;
}

void TCompareMachinesDialog::Copy_Table()
{
  const QList<TComparison::TRow> rows = Rows_In_View_Order();
  QApplication::clipboard()->setText(TComparison::Csv(d_settings, rows, QLatin1Char('\t'), true));
  Show_Status(QStringLiteral("%1 rows copied to the clipboard, the settings and the caveat first")
                  .arg(rows.size()),
              false);
}

void TCompareMachinesDialog::Export_Csv()
{
  const QString file_name = TFileDialog::Get_Save_File_Name(
      this, QStringLiteral("Export comparison"), d_folder, CSV_FILTER);
  if (file_name.isEmpty())
  {
    return;
  }
  d_folder = QFileInfo(file_name).absolutePath();
  d_exported_file_name = file_name;
  // Written whole or not at all, and never over a database or a device: an earlier file of that
  // name stays as it was on a failure.
  TSafeFile file(file_name);
  if (!file.Open() ||
      !file.Commit(
          TComparison::Csv(d_settings, Rows_In_View_Order(), QLatin1Char(','), true).toUtf8()))
  {
    d_message_box->Show(QStringLiteral("Export Failed"),
                        QStringLiteral("The comparison could not be written to %1.").arg(file_name),
                        file.Error_Text(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return;
  }
  Show_Status(QStringLiteral("%1 rows written to %2").arg(d_model->rowCount()).arg(file_name),
              false);
}

bool TCompareMachinesDialog::Read_Settings()
{
  QStringList problems;
  const auto check = [&problems](TInvalidMarker *marker, bool good, const QString &problem)
  {
    marker->Set_Reason(good ? QString() : problem);
    if (!good)
    {
      problems.append(problem);
    }
  };
  TCapability::TRequest &request = d_settings.request;
  const QStringList component = d_component_combo->currentData().toStringList();
  if (component.size() == 2)
  {
    request.standard = component.at(0);
    request.component = component.at(1);
  }
  check(d_lengths_marker, TLimitsSeries::Parse_Lengths(d_lengths_edit->text(), &d_settings.lengths),
        QStringLiteral("lengths must be numbers of 0 mm or more, separated by commas"));
  // A text that is no number at all names its correction where there is one ("2,5").
  const auto check_number = [&problems](TInvalidMarker *marker, bool good, const QString &field,
                                        const QString &text, const QString &problem)
  {
    marker->Set_Reason(QString());
    if (!good)
    {
      problems.append(marker->Set_Number_Reason(field, text, problem));
    }
  };
  check_number(d_temperature_marker,
               TSpecificationLimits::To_Number(d_temperature_edit->text(), &request.temperature),
               QStringLiteral("temperature"), d_temperature_edit->text(),
               QStringLiteral("the temperature must be a number"));
  request.ratio = d_ratio_combo->currentData().toDouble();

  // A tolerance applies when one of its fields is given, and then both must be numbers.
  const QString feature_text = d_feature_length_edit->text().trimmed();
  const QString tolerance_text = d_tolerance_edit->text().trimmed();
  d_settings.with_tolerance = !feature_text.isEmpty() || !tolerance_text.isEmpty();
  check_number(d_feature_length_marker,
               !d_settings.with_tolerance ||
                   TLimitsSeries::Parse_Length(feature_text, &request.feature_length),
               QStringLiteral("feature length"), feature_text,
               QStringLiteral("a tolerance needs a feature length of 0 mm or more"));
  check_number(
      d_tolerance_marker,
      !d_settings.with_tolerance || TCapability::Parse_Positive(tolerance_text, &request.tolerance),
      QStringLiteral("tolerance span"), tolerance_text,
      QStringLiteral("a tolerance needs a span above 0 %1").arg(TWindowUnits::MICROMETRES));

  if (!problems.isEmpty())
  {
    Show_Status(QStringLiteral("Nothing is compared until the marked inputs are corrected: %1")
                    .arg(problems.join(QStringLiteral("; "))),
                true);
  }
  else if (d_status_label->property("error").toBool())
  {
    Show_Status(QString(), false);
  }
  return problems.isEmpty();
}

void TCompareMachinesDialog::Refresh()
{
  bool shown = Read_Settings();
  if (shown && Showing_Capable())
  {
    shown = Rank_Catalogue();
  }
  d_results_shown = shown;
  // The column the user sorted stays sorted where a tolerance or other lengths move it.
  const QHeaderView *header = d_table_view->horizontalHeader();
  const QString sorted = d_model->Column_Key(header->sortIndicatorSection());
  // Nothing from inputs that cannot be used: no row, line or file answers another question.
  d_model->Set_Rows(d_settings,
                    shown ? TComparison::Rows(d_settings, Showing_Capable() ? d_capable : d_picked)
                          : QList<TComparison::TRow>());
  if (!sorted.isEmpty() && d_model->Column_Of(sorted) != header->sortIndicatorSection())
  {
    d_table_view->sortByColumn(d_model->Column_Of(sorted), header->sortIndicatorOrder());
  }
  d_copy_button->setEnabled(shown);
  d_export_button->setEnabled(shown);
  d_remove_button->setEnabled(!Showing_Capable());
  d_clear_button->setEnabled(!Showing_Capable());
  d_picked_button->setText(QStringLiteral("Picked machines (%1)").arg(d_picked.size()));
  Fit_Columns();
  Update_Plot(shown);
}

void TCompareMachinesDialog::Fit_Columns()
{
  // Each column as wide as its cells and the widest line of its heading, with room for the sort
  // arrow only where it is shown.
  const QFontMetrics heading_metrics(d_table_view->horizontalHeader()->font());
  const QFontMetrics cell_metrics(d_table_view->font());
  for (int column = 0; column < d_model->columnCount(); ++column)
  {
    int width = 0;
    const QString heading = d_model->headerData(column, Qt::Horizontal).toString();
    for (const QString &line : heading.split(QLatin1Char('\n')))
    {
      width = std::max(width, heading_metrics.horizontalAdvance(line));
    }
    // The first rows tell enough, as the view's own fitting looks at the rows it shows.
    for (int row = 0; row < std::min(d_model->rowCount(), FITTED_ROWS); ++row)
    {
      width = std::max(
          width, cell_metrics.horizontalAdvance(d_model->index(row, column).data().toString()));
    }
    const bool sorted = column == d_table_view->horizontalHeader()->sortIndicatorSection();
    d_table_view->setColumnWidth(column, width + (sorted ? 36 : 20));
  }
}

void TCompareMachinesDialog::Update_Plot(bool shown)
{
  const TCapability::TRequest &request = d_settings.request;
  double plot_length = *std::max_element(d_settings.lengths.cbegin(), d_settings.lengths.cend());
  if (d_settings.with_tolerance)
  {
    plot_length = std::max(plot_length, request.feature_length);
  }
  if (!(plot_length > 0.0))
  {
    plot_length = 1000.0;
  }
  const QVector<double> lengths = TLimitsSeries::Range(plot_length);
  const double deviation = TSpecificationLimits::Temperature_Deviation(request.temperature);

  // In the order the machines were picked or ranked, whatever the table's order: the first
  // SLOT_COUNT machines with a value are drawn, rows without one take no slot.
  QList<TLimitsChartView::TCurve> curves;
  QStringList keys;
  QStringList without;
  int beyond = 0;
  for (int row = 0; row < d_model->rowCount(); ++row)
  {
    const TCapability::TMachine &machine = d_model->Row(row).machine;
    const QString name =
        machine.make + QLatin1Char(' ') + machine.model + QLatin1Char(' ') + machine.option;
    const QVector<QPointF> points = TLimitsSeries::Component_Curve(
        machine.records, request.standard, request.component, lengths, deviation);
    if (points.isEmpty())
    {
      without.append(name);
    }
    else if (curves.size() == TLimitsChartView::SLOT_COUNT)
    {
      ++beyond;
    }
    else
    {
      curves.append({name, points});
      keys.append(machine.make + NAME_SEPARATOR + machine.model + NAME_SEPARATOR + machine.option);
    }
  }
  // A machine drawn before keeps its slot; one new to the plot takes the lowest one free.
  QHash<QString, int> assigned;
  QVector<bool> taken(TLimitsChartView::SLOT_COUNT, false);
  for (const QString &key : qAsConst(keys))
  {
    const int slot = d_plot_slots.value(key, -1);
    if (slot >= 0)
    {
      assigned.insert(key, slot);
      taken[slot] = true;
    }
  }
  for (int index = 0; index < curves.size(); ++index)
  {
    if (!assigned.contains(keys.at(index)))
    {
      const int slot =
          static_cast<int>(std::find(taken.cbegin(), taken.cend(), false) - taken.cbegin());
      assigned.insert(keys.at(index), slot);
      taken[slot] = true;
    }
    curves[index].slot = assigned.value(keys.at(index));
  }
  // Inputs being corrected show no lines, and take no machine's slot away.
  if (shown)
  {
    d_plot_slots = assigned;
  }
  d_drawn = curves.size();

  d_chart_view->Set_Curves(curves, plot_length,
                           shown && d_settings.with_tolerance ? request.feature_length
                                                              : std::nan(""),
                           QStringLiteral("Feature Length"));
  d_chart_view->chart()->setTitle(shown ? QStringLiteral("%1 %2 at %3 %4")
                                              .arg(request.standard, request.component,
                                                   QString::number(request.temperature, 'f', 1),
                                                   TWindowUnits::CELSIUS)
                                        : QString());
  QStringList notes;
  if (!without.isEmpty())
  {
    notes.append(QStringLiteral("Not drawn, without a %1 %2: %3.")
                     .arg(request.standard, request.component, without.join(QStringLiteral(", "))));
  }
  if (beyond > 0)
  {
    notes.append(QStringLiteral("Not drawn: %1 more machines beyond the %2 lines the plot tells "
                                "apart.")
                     .arg(beyond)
                     .arg(TLimitsChartView::SLOT_COUNT));
  }
  d_plot_note->setText(notes.join(QLatin1Char(' ')));
  d_plot_note->setVisible(!notes.isEmpty());
}

QList<TComparison::TRow> TCompareMachinesDialog::Rows_In_View_Order() const
{
  QList<TComparison::TRow> rows;
  for (int row = 0; row < d_sorted_model->rowCount(); ++row)
  {
    rows.append(d_model->Row(d_sorted_model->mapToSource(d_sorted_model->index(row, 0)).row()));
  }
  return rows;
}

void TCompareMachinesDialog::Show_Status(const QString &text, bool error)
{
  d_status_label->setText(text);
  d_status_label->setProperty("error", error);
  d_status_label->setStyleSheet(error ? QStringLiteral("color: #b00000") : QString());
}
