#ifndef METROVA_COMPAREMACHINESDIALOG_H
#define METROVA_COMPAREMACHINESDIALOG_H

#include "capability.h"
#include "comparison.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QVector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QSortFilterProxyModel;
class QStringListModel;
class QTableView;
class TComparisonModel;
class TDatabase;
class TLimitsChartView;
class TMessageBox;

// Machines of the catalogue side by side: one length-dependent component at a few lengths and a
// temperature, their curves, and with a feature length and tolerance span each machine's ratio
// and verdict; "Capable Machines" ranks the whole catalogue for that tolerance. Reads the
// database; never writes to it.
class TCompareMachinesDialog : public QDialog
{
  Q_OBJECT

public:
  // More lines than this make the plot unreadable: the first rows of the table are plotted.
  static constexpr int PLOTTED_MACHINES = 8;

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
  void Rank_Catalogue();
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

  // The fields as settings: those that are not numbers keep their last good value and are
  // reported in the status line.
  void Read_Settings();
  // The table and the plot from the machines and the settings.
  void Refresh();
  void Update_Plot();
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
  TComparisonModel *d_model;
  QSortFilterProxyModel *d_sorted_model;
  QTableView *d_table_view;
  TLimitsChartView *d_chart_view;
  QLabel *d_status_label;
  TMessageBox *d_message_box;

  TComparison::TSettings d_settings;
  QList<TCapability::TMachine> d_machines;
  // The machines are the catalogue's capable ones, ranked again when the settings change.
  bool d_ranked;
  QString d_folder;
  QString d_exported_file_name;
};

#endif // METROVA_COMPAREMACHINESDIALOG_H
