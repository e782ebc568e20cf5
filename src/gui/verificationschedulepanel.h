#ifndef METROVA_VERIFICATIONSCHEDULEPANEL_H
#define METROVA_VERIFICATIONSCHEDULEPANEL_H

#include "verificationschedule.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;

// A machine's check intervals to edit and, below them, what is due: one line per check that
// wraps in a narrow window rather than hiding its status.
class TVerificationSchedulePanel : public QWidget
{
  Q_OBJECT

public:
  explicit TVerificationSchedulePanel(QWidget *parent = nullptr);

  void Set_Intervals(const TVerificationSchedule::TIntervals &intervals);
  TVerificationSchedule::TIntervals Intervals() const;
  // The intervals shown, not changed.
  void Set_Read_Only(bool read_only);
  // The checks of the machine on a day.
  void Show_Schedule(const TVerificationSchedule::TMachine &machine, const QDate &on);

signals:
  void Save_Requested();

private:
  QSpinBox *d_reverification_spin;
  QSpinBox *d_interim_spin;
  QPushButton *d_save_button;
  QLabel *d_schedule_label;
};

#endif // METROVA_VERIFICATIONSCHEDULEPANEL_H
