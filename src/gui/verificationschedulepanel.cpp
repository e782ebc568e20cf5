#include "verificationschedulepanel.h"

#include "verificationrecord.h"

#include <QColor>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TVerificationSchedulePanel::TVerificationSchedulePanel(QWidget *parent) : QWidget(parent)
{
  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  QHBoxLayout *intervals = new QHBoxLayout();
  d_reverification_spin = new QSpinBox(this);
  d_reverification_spin->setObjectName(QStringLiteral("reverification_spin"));
  d_reverification_spin->setRange(0, 1200);
  d_reverification_spin->setSpecialValueText(QStringLiteral("none"));
  d_interim_spin = new QSpinBox(this);
  d_interim_spin->setObjectName(QStringLiteral("interim_spin"));
  d_interim_spin->setRange(0, 36500);
  d_interim_spin->setSpecialValueText(QStringLiteral("none"));
  d_save_button = new QPushButton(QStringLiteral("Save Schedule"), this);
  d_save_button->setObjectName(QStringLiteral("save_schedule_button"));
  d_save_button->setAutoDefault(false);
  intervals->addWidget(new QLabel(QStringLiteral("Reverification every"), this));
  intervals->addWidget(d_reverification_spin);
  intervals->addWidget(new QLabel(QStringLiteral("months; interim check every"), this));
  intervals->addWidget(d_interim_spin);
  intervals->addWidget(new QLabel(QStringLiteral("days"), this));
  intervals->addWidget(d_save_button);
  intervals->addStretch();
  layout->addLayout(intervals);
  d_schedule_label = new QLabel(this);
  d_schedule_label->setObjectName(QStringLiteral("schedule_label"));
  d_schedule_label->setTextFormat(Qt::RichText);
  d_schedule_label->setWordWrap(true);
  layout->addWidget(d_schedule_label);
  connect(d_save_button, &QPushButton::clicked, this, &TVerificationSchedulePanel::Save_Requested);
}

void TVerificationSchedulePanel::Set_Intervals(const TVerificationSchedule::TIntervals &intervals)
{
  d_reverification_spin->setValue(intervals.reverification_months);
  d_interim_spin->setValue(intervals.interim_days);
}

TVerificationSchedule::TIntervals TVerificationSchedulePanel::Intervals() const
{
  return {d_reverification_spin->value(), d_interim_spin->value()};
}

void TVerificationSchedulePanel::Set_Read_Only(bool read_only)
{
  d_reverification_spin->setReadOnly(read_only);
  d_interim_spin->setReadOnly(read_only);
  d_save_button->setEnabled(!read_only);
}

void TVerificationSchedulePanel::Show_Schedule(const TVerificationSchedule::TMachine &machine,
                                               const QDate &on)
{
  QStringList lines;
  for (const TVerificationSchedule::TCheck &check :
       TVerificationSchedule::Checks(machine, on, TVerificationSchedule::DUE_WITHIN_DAYS))
  {
    const bool interim = check.kind == TVerificationRecord::KIND_INTERIM;
    const int interval =
        interim ? machine.intervals.interim_days : machine.intervals.reverification_months;
    const bool retest = check.status == TVerificationSchedule::STATUS_RETEST_DUE;
    QStringList parts;
    if (interval > 0)
    {
      parts.append(QStringLiteral("every %1 %2")
                       .arg(interval)
                       .arg(interim ? QStringLiteral("days") : QStringLiteral("months")));
    }
    if (check.status == TVerificationSchedule::STATUS_NOT_SCHEDULED)
    {
      parts.append(QStringLiteral("not scheduled"));
    }
    else if (!check.last.isValid())
    {
      parts.append(QStringLiteral("never made"));
    }
    else
    {
      // After a check that did not conform the machine is due again at once, not on a date.
      parts.append(retest
                       ? QStringLiteral("last %1").arg(TVerificationRecord::Date_Text(check.last))
                       : QStringLiteral("last %1, next due %2")
                             .arg(TVerificationRecord::Date_Text(check.last),
                                  TVerificationRecord::Date_Text(check.due)));
    }
    const QString line =
        (interim ? QStringLiteral("Interim check: ") : QStringLiteral("Reverification: ")) +
        parts.join(QStringLiteral(", "));
    const QColor colour = check.status == TVerificationSchedule::STATUS_OVERDUE || retest
                              ? QColor(200, 0, 0)
                          : check.status == TVerificationSchedule::STATUS_DUE ? QColor(215, 110, 0)
                                                                              : QColor(0, 110, 50);
    // The status stays with the line it ends when the label wraps.
    lines.append(
        line.toHtmlEscaped() +
        (check.status == TVerificationSchedule::STATUS_NOT_SCHEDULED
             ? QString()
             : QStringLiteral("&nbsp;\u2014 <b><span style=\"color:%1; white-space:nowrap\">"
                              "%2</span></b>")
                   .arg(colour.name(),
                        TVerificationSchedule::Status_Name(check.status).toHtmlEscaped())));
  }
  d_schedule_label->setText(lines.join(QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp; ")));
}
