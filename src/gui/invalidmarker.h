#ifndef METROVA_INVALIDMARKER_H
#define METROVA_INVALIDMARKER_H

#include <QLabel>
#include <QString>

// The word "invalid" in red beside an input whose text is not used, the reason in its tool tip.
// It keeps its width while empty, so that the layout does not move as it comes and goes.
class TInvalidMarker : public QLabel
{
public:
  TInvalidMarker(QWidget *parent, const QString &object_name);

  // Shows the marker with the reason; an empty reason clears it.
  void Set_Reason(const QString &reason);
  // Marks a field whose typed text is no usable number. When the core names a correction ("use
  // a decimal point" for "2,5") the marker shows it, and the reason is the field's name, the text
  // and the correction; else the reason is the one given. Returns the reason.
  QString Set_Number_Reason(const QString &field, const QString &typed, const QString &reason);
  bool Is_Shown() const { return !text().isEmpty(); }
};

#endif // METROVA_INVALIDMARKER_H
