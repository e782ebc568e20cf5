#include "invalidmarker.h"

#include "specificationedit.h"

namespace
{
const QString INVALID = QStringLiteral("invalid");
} // namespace

TInvalidMarker::TInvalidMarker(QWidget *parent, const QString &object_name) : QLabel(parent)
{
  setObjectName(object_name);
  // The red of the limits dialog's temperature warning.
  setStyleSheet(QStringLiteral("color: #b00000"));
  setMinimumWidth(fontMetrics().horizontalAdvance(INVALID) + 4);
}

void TInvalidMarker::Set_Reason(const QString &reason)
{
  setText(reason.isEmpty() ? QString() : INVALID);
  setToolTip(reason);
}

QString TInvalidMarker::Set_Number_Reason(const QString &field, const QString &typed,
                                          const QString &reason)
{
  const QString hint = TSpecificationEdit::Number_Hint(typed.trimmed());
  if (hint.isEmpty())
  {
    Set_Reason(reason);
    return reason;
  }
  const QString corrected = QStringLiteral("%1 '%2': %3").arg(field, typed.trimmed(), hint);
  setText(hint);
  setToolTip(corrected);
  return corrected;
}
