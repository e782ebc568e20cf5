#include "invalidmarker.h"

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
