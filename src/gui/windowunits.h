#ifndef METROVA_WINDOWUNITS_H
#define METROVA_WINDOWUNITS_H

#include <QString>

// Units as the window writes them, and as engineers do. The fixed texts of the limits rows, the
// tree and the report keep their own spelling.
class TWindowUnits
{
public:
  static inline const QString MICROMETRES = QStringLiteral("\u00b5m");
  static inline const QString CELSIUS = QStringLiteral("\u00b0C");
};

#endif // METROVA_WINDOWUNITS_H
