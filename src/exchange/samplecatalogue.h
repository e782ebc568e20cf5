#ifndef METROVA_SAMPLECATALOGUE_H
#define METROVA_SAMPLECATALOGUE_H

#include <QString>

// The user's own copy of the sample catalogue: made once from the sample's exchange file and
// then kept as the user leaves it.
class TSampleCatalogue
{
public:
  // Makes the catalogue file_name from the exchange file unless it exists. It is built under
  // another name and renamed once complete, so that a failed copy is never taken for the sample
  // later. False with *reason when it cannot be made; nothing is left behind then.
  static bool Create(const QString &exchange_file, const QString &file_name, QString *reason);
};

#endif // METROVA_SAMPLECATALOGUE_H
