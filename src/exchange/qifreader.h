#ifndef METROVA_QIFREADER_H
#define METROVA_QIFREADER_H

#include "databaseitem.h"
#include "warninglist.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reads the Cartesian CMMs of a QIF 3 document into records that the catalogue can store, all
// as the manufacturer's: per usable device a "10360" record with its length error E0 and, where
// given, the temperature range Ts_Min and Ts_Max, and a "B89.4.1" record with its Repeat. Other
// tools' documents are read too, with every guess and omission a warning; devices that cannot be
// used are skipped with a warning that names them, and a document that cannot be read as a whole
// gives an error and no records. The reader takes no DTD, so no entity is ever expanded.
class TQifReader
{
public:
  // A measurement resources file holds a plant's machines; anything far larger is refused
  // before it is parsed.
  static constexpr int MAXIMUM_DOCUMENT_SIZE = 64 * 1024 * 1024;

  bool Read(const QByteArray &bytes);
  // Whether a component of the standard is one the reader may give: E0, Ts_Min, Ts_Max of
  // 10360, Repeat of B89.4.1.
  static bool Is_Read_Component(const QString &standard, const QString &component);

  QList<TDatabaseItem> Records() const { return d_records; }
  // Where each record's device is in the document, for messages: "line 12: CartesianCMM 'X'".
  QStringList Record_Places() const { return d_record_places; }
  // The devices that gave no record, Cartesian CMMs or others.
  int Skipped_Count() const { return d_skipped; }
  const TWarningList &Warnings() const { return d_warnings; }
  QString Error_Text() const { return d_error_text; }

private:
  bool Fail(const QString &text);

  QList<TDatabaseItem> d_records;
  QStringList d_record_places;
  int d_skipped = 0;
  TWarningList d_warnings;
  QString d_error_text;
};

#endif // METROVA_QIFREADER_H
