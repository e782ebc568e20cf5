#ifndef METROVA_COMPAREMACHINESDIALOG_H
#define METROVA_COMPAREMACHINESDIALOG_H

#include "capability.h"
#include "comparison.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QSortFilterProxyModel;
class QSplitter;
class QStringListModel;
class QTableView;
class TComparisonModel;
class TDatabase;
class TInvalidMarker;
class TLimitsChartView;
class TMessageBox;

// Machines of the catalogue side by side: one length-dependent component at a few lengths and a
// temperature, their curves, and with a feature length and tolerance span each machine's ratio
// and verdict. It shows either the machines the user picked or the catalogue's capable machines
// for that tolerance, ranked; the picked ones stay for the way back. While an input is invalid,
// it is marked and nothing computed from the inputs is shown. Reads the database; never writes
// to it.
class TCompareMachinesDialog : public QDialog
{
  Q_OBJECT

public:
  explicit TCompareMachinesDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
  ~TCompareMachinesDialog() override;

  // Lists the database's configurations and length-dependent components, and empties the
  // comparison; false, with the reason in the status line, when they cannot be read.
  bool Set_Database(TDatabase *database);
  // Adds a configuration to the comparison, once; false, with the reason shown, when its rows
  // cannot be read.
  bool Add_Machine(const QString &make, const QString &model, const QString &option);
  // Where the export's file dialog starts.
  void Set_Folder(const QString &folder) { d_folder = folder; }
  // The last file exported to, empty when none was.
  QString Exported_File_Name() const { return d_exported_file_name; }

private slots:
  void Filter_Changed(const QString &text);
  void Add_Selected();
  void Remove_Selected();
  void Clear_Machines();
  void Settings_Changed();
  void Shown_Machines_Changed();
  void Copy_Table();
  void Export_Csv();
  void Fit_Columns();

private:
  struct TConfiguration
  {
    QString make;
    QString model;
    QString option;
  };

  // The areas of the dialog, top to bottom.
  QWidget *Build_Picker(QWidget *parent);
  QWidget *Build_Inputs(QWidget *parent);
  void Build_Table(QSplitter *splitter);
  void Build_Chart(QSplitter *splitter);
  QLayout *Build_Buttons();

  // The inputs as settings; false, with each bad input marked and the reasons in the status
  // line, when one cannot be used.
  bool Read_Settings();
  // The table and the plot from the machines shown and the settings; empty while the settings
  // cannot be used or the catalogue cannot be ranked.
  void Refresh();
  // The capable machines of the catalogue for the settings' tolerance, best ratio first.
  bool Rank_Catalogue();
  bool Showing_Capable() const;
  // Draws the machines that have a value, each in the slot (colour and line style) it had while
  // it stays drawn, and says which are not drawn.
  void Update_Plot(bool shown);
  QList<TComparison::TRow> Rows_In_View_Order() const;
  void Show_Status(const QString &text, bool error);
  bool Read_Machine(const QString &make, const QString &model, const QString &option);

  TDatabase *d_database;
  QVector<TConfiguration> d_configurations;
  QStringListModel *d_catalogue_model;
  QSortFilterProxyModel *d_catalogue_filter;
  QLineEdit *d_filter_edit;
  QListView *d_catalogue_view;
  QComboBox *d_component_combo;
  QLineEdit *d_lengths_edit;
  QLineEdit *d_temperature_edit;
  QLineEdit *d_feature_length_edit;
  QLineEdit *d_tolerance_edit;
  QComboBox *d_ratio_combo;
  TInvalidMarker *d_lengths_marker;
  TInvalidMarker *d_temperature_marker;
  TInvalidMarker *d_feature_length_marker;
  TInvalidMarker *d_tolerance_marker;
  QRadioButton *d_picked_button;
  QRadioButton *d_capable_button;
  TComparisonModel *d_model;
  QSortFilterProxyModel *d_sorted_model;
  QTableView *d_table_view;
  TLimitsChartView *d_chart_view;
  QLabel *d_plot_note;
  QLabel *d_status_label;
  QPushButton *d_remove_button;
  QPushButton *d_clear_button;
  QPushButton *d_copy_button;
  QPushButton *d_export_button;
  TMessageBox *d_message_box;

  TComparison::TSettings d_settings;
  // The machines the user picked, kept while the capable ones are shown.
  QList<TCapability::TMachine> d_picked;
  QList<TCapability::TMachine> d_capable;
  // Whether the table and the plot show results, which they do only for usable inputs.
  bool d_results_shown;
  // The slot of each machine drawn, by its names.
  QHash<QString, int> d_plot_slots;
  int d_drawn;
  QString d_folder;
  QString d_exported_file_name;
};

#endif // METROVA_COMPAREMACHINESDIALOG_H
