#ifndef METROVA_SPECIFICATIONLIMITSDIALOG_H
#define METROVA_SPECIFICATIONLIMITSDIALOG_H

#include "databaseitem.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class TInvalidMarker;
class TLimitsChartView;

// Shows the nine error limits that the stored specifications of one machine give at a measuring
// length and air temperature, a plot of those that vary with length, and a warning when the
// temperature lies outside the machine's stated band. Holds copies of the records; never writes
// to the database.
//
// Usage:
//   dialog->Set_Identification(make, model, option);
//   for each standard: dialog->Add_Database_Item(record);
//   dialog->Update_Limits();
//   dialog->exec();
class TSpecificationLimitsDialog : public QDialog
{
  Q_OBJECT

public:
  static constexpr int RESULT_FIELD_COUNT = 9;

  explicit TSpecificationLimitsDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
  ~TSpecificationLimitsDialog() override;

  // Replaces the shown names and drops the records; length, temperature and results stay.
  void Set_Identification(const QString &make, const QString &model, const QString &option);
  void Add_Database_Item(const TDatabaseItem &item);
  void Update_Limits();

private slots:
  void Length_Changed();
  void Temperature_Changed();
  void Plot_Length_Changed();

private:
  void Update_Temperature_Deviation();
  void Calculate_Limits();
  void Update_Plot();

  QLineEdit *d_make_edit;
  QLineEdit *d_model_edit;
  QLineEdit *d_option_edit;
  QLineEdit *d_measurement_length_edit;
  QLineEdit *d_actual_temperature_edit;
  TInvalidMarker *d_length_marker;
  TInvalidMarker *d_temperature_marker;
  // In row order: B89.4.1 Repeat, B89.4.1 Ballbar, 10360-2 R0, 10360-2 E0, 10360-2 E150,
  // VDIVDE 2617 V3, VDIVDE 2617 U3, CMMA Repeat, CMMA M.
  QLineEdit *d_result_edits[RESULT_FIELD_COUNT];
  QLabel *d_temperature_warning;
  QLineEdit *d_plot_length_edit;
  TInvalidMarker *d_plot_length_marker;
  TLimitsChartView *d_chart_view;

  QList<TDatabaseItem> d_database_items;
  double d_temperature_deviation;
  // The last temperature and plot length that were numbers.
  double d_temperature;
  double d_plot_length;
};

#endif // METROVA_SPECIFICATIONLIMITSDIALOG_H
