#ifndef METROVA_CONFIGURATIONREMOVAL_H
#define METROVA_CONFIGURATIONREMOVAL_H

#include <QString>
#include <QStringList>

class TSqlConnection;
class TVerificationStore;

// Deletes the rows of a make (and its name), of a model of a make or of one machine, with the
// verification log of its machines. The log is evidence kept for years: a machine that has
// records goes only when they are asked to go too; otherwise nothing is deleted and the reason
// names how many records there are. The caller looks the ids up and holds the write transaction,
// so that the count and the deletes see one state of the file.
class TConfigurationRemoval
{
public:
  TConfigurationRemoval(TSqlConnection *connection, TVerificationStore *log);

  // names: make, and model and option as far as given; ids: theirs. *records gets how many
  // verification records went with them. False with Error().
  bool Remove(const QStringList &names, const int *ids, bool with_records, int *records);

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  bool Fail(const QString &text, bool fault);

  TSqlConnection *d_connection;
  TVerificationStore *d_log;
  QString d_error;
  bool d_fault = false;
};

#endif // METROVA_CONFIGURATIONREMOVAL_H
