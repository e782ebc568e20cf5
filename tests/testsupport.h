#ifndef METROVA_TESTSUPPORT_H
#define METROVA_TESTSUPPORT_H

// Helpers shared by the test programs. A record is written as compact text:
//   "10360 E0=1.5+3.3L/1000 R0=2.2#1"
// the standard, then component=expression items with expressions in micrometres; "#N" gives an
// item's source, manufacturer when left out.

#include "database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <QtDebug>

namespace TestSupport
{
// The machine's record that a compact text describes; *valid is false if an expression fails.
inline TDatabaseItem Record(const QString &make, const QString &model, const QString &option,
                            const QString &text, bool *valid = nullptr)
{
  const QStringList fields = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  TDatabaseItem record;
  record.Set_Make(make);
  record.Set_Model(model);
  record.Set_Option(option);
  record.Set_Standard(fields.value(0));
  bool parsed = !fields.isEmpty();
  for (int index = 1; index < fields.size(); ++index)
  {
    const QString expression = fields.at(index).section(QLatin1Char('='), 1);
    TSpecificationItem item;
    item.name = fields.at(index).section(QLatin1Char('='), 0, 0);
    item.source = expression.section(QLatin1Char('#'), 1).toInt();
    if (item.expression.Set_Expression(expression.section(QLatin1Char('#'), 0, 0),
                                       TExpressionItem::UNITS_UM) ==
        TExpressionItem::EXPRESSION_UNDEFINED)
      parsed = false;
    record.Add_Specification_Item(item);
  }
  if (valid)
    *valid = parsed;
  return record;
}

// Runs a statement on its own connection to a file; *text gets the first value, or the error.
inline bool Execute_On_File(const QString &file_name, const QString &statement,
                            QString *text = nullptr)
{
  const QString name = QStringLiteral("testsupport_other");
  bool executed = false;
  {
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    connection.setDatabaseName(file_name);
    QString result;
    if (connection.open())
    {
      QSqlQuery query(connection);
      executed = query.exec(statement);
      result = !executed      ? query.lastError().text()
               : query.next() ? query.value(0).toString()
                              : QString();
    }
    else
    {
      result = connection.lastError().text();
    }
    if (text)
      *text = result;
  }
  QSqlDatabase::removeDatabase(name);
  return executed;
}

// A catalogue file in a temporary folder of its own, connected and initialised (Is_Valid).
class TTestDatabase
{
public:
  TTestDatabase() : d_database(QStringLiteral("testsupport_%1").arg(Next_Number()))
  {
    d_valid = d_directory.isValid() &&
              d_database.Connect(d_directory.filePath(QStringLiteral("catalogue.db"))) &&
              d_database.Initialize();
    if (!d_valid)
      qWarning() << "test database:" << d_database.Last_Error();
  }

  bool Is_Valid() const { return d_valid; }
  TDatabase *Get() { return &d_database; }
  TDatabase *operator->() { return &d_database; }
  // A path inside the temporary folder.
  QString Path(const QString &name) const { return d_directory.filePath(name); }

  // Writes each compact record text for the machine; false, with a warning, on a failure.
  bool Write(const QString &make, const QString &model, const QString &option,
             const QStringList &records)
  {
    for (const QString &text : records)
    {
      bool valid = false;
      const TDatabaseItem record = Record(make, model, option, text, &valid);
      if (!valid || !d_database.Write_Specification(record))
      {
        qWarning() << "cannot write" << text << d_database.Last_Error();
        return false;
      }
    }
    return true;
  }

  // A machine's stored rows in order as "standard component=text[#source]", text in mm as stored.
  QStringList Rows(const QString &make, const QString &model, const QString &option)
  {
    QSqlQuery query(QSqlDatabase::database(d_database.Connection_Name(), false));
    query.prepare(
        QStringLiteral("SELECT standard_id,component_id,expression,source FROM specification "
                       "WHERE make_id=? AND model_id=? AND option_id=? ORDER BY rowid"));
    query.addBindValue(d_database.Make_Id(make));
    query.addBindValue(d_database.Model_Id(model));
    query.addBindValue(d_database.Option_Id(option));
    if (!query.exec())
      return {QStringLiteral("query failed: ") + query.lastError().text()};
    QStringList rows;
    while (query.next())
    {
      const int standard_id = query.value(0).toInt();
      const int source = query.value(3).toInt();
      rows.append(QStringLiteral("%1 %2=%3")
                      .arg(d_database.Standard_Type_Name(standard_id),
                           d_database.Component_Type_Name(standard_id, query.value(1).toInt()),
                           query.value(2).toString()) +
                  (source == TDatabaseItem::SOURCE_MANUFACTURER
                       ? QString()
                       : QStringLiteral("#%1").arg(source)));
    }
    return rows;
  }

private:
  static int Next_Number()
  {
    static int number = 0;
    return ++number;
  }

  QTemporaryDir d_directory;
  TDatabase d_database;
  bool d_valid = false;
};
} // namespace TestSupport

#endif // METROVA_TESTSUPPORT_H
