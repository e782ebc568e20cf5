#ifndef METROVA_DATABASE_H
#define METROVA_DATABASE_H

#include "databaseitem.h"

#include <QString>
#include <QStringList>
#include <memory>

#include <map>

class QSqlDatabase;
class QSqlQuery;

// The one gateway to the SQLite catalogue file. Not a QObject and not thread-safe: every thread
// that works on the file uses its own instance under its own connection name.
class TDatabase
{
public:
  explicit TDatabase(const QString &connection_name = QStringLiteral("metrova_database"));
  ~TDatabase();
  TDatabase(const TDatabase &) = delete;
  TDatabase &operator=(const TDatabase &) = delete;

  // Connection and schema.
  bool Connect(const QString &file_name);
  bool Is_Open() const;
  void Close();
  bool Initialize();
  void Clear();
  QString Last_Error() const { return d_last_error; }
  QString File_Name() const { return d_file_name; }
  QString Connection_Name() const { return d_connection_name; }
  QStringList Makes(bool *valid);

  // Transactions as SQL savepoints, so that they nest: an outermost savepoint begins a
  // transaction and its release commits it.
  bool Savepoint(const QString &name);
  bool Release_Savepoint(const QString &name);
  bool Rollback_To_Savepoint(const QString &name);

  // Standard and component catalogue.
  bool Add_Standard_Type(const QString &name);
  bool Add_Component_Type(int standard_id, const QString &name, const QString &description,
                          int expression_types);
  int Standard_Type_Id(const QString &name);
  QString Standard_Type_Name(int standard_id);
  int Component_Type_Id(int standard_id, const QString &name);
  QString Component_Type_Name(int standard_id, int component_id);
  QString Component_Type_Description(int standard_id, int component_id);
  QString Component_Type_Description(const QString &standard, const QString &component);
  int Component_Type_Expression_Types(int standard_id, int component_id);
  int Component_Type_Expression_Types(const QString &standard, const QString &component);
  QStringList Standard_Types(bool *valid);
  QStringList Component_Types(const QString &standard, bool *valid);
  bool Create_Standard_Types();
  bool Create_Component_Types();

  // Makes, models, options and specification rows.
  int Make_Id(const QString &make);
  int Model_Id(const QString &model);
  int Option_Id(const QString &option);
  QString Make_Name(int make_id);
  QString Model_Name(int model_id);
  QString Option_Name(int option_id);
  bool Model_Type_Exists(const QString &model);
  bool Option_Type_Exists(const QString &option);
  bool Make_Exists(const QString &make);
  bool Model_Exists(const QString &make, const QString &model);
  bool Option_Exists(const QString &make, const QString &model, const QString &option);
  QStringList Models(const QString &make, bool *valid);
  QStringList Options(const QString &make, const QString &model, bool *valid);
  bool Remove_Make(const QString &make);
  bool Remove_Model(const QString &make, const QString &model);
  bool Remove_Option(const QString &make, const QString &model, const QString &option);
  bool Write_Specification(const TDatabaseItem &item);
  TDatabaseItem Read_Specification(const QString &make, const QString &model,
                                   const QString &option, const QString &standard, bool *valid);

  // Estimation of the other standards' components.
  bool Estimate_Specifications(const QString &make, const QString &model, const QString &option);
  bool Estimate_From_Standard(int make_id, int model_id, int option_id, const QString &standard);
  bool Delete_Estimated_Specifications(int make_id, int model_id, int option_id);
  bool Specification_Exists(int make_id, int model_id, int option_id, int standard_id,
                            int component_id);
  TDatabaseItem Read_Specification_By_Id(int make_id, int model_id, int option_id,
                                         int standard_id, bool *valid);

private:
  // A statement prepared once per connection and reused: bind its values in order with
  // addBindValue, exec() it, and finish() it when its rows have been read, so that no read
  // lock outlives the call. Null when the statement cannot be prepared (d_last_error is set).
  QSqlQuery *Prepared_Query(const QString &statement);

  QString d_connection_name;
  QString d_file_name;
  std::unique_ptr<QSqlDatabase> d_connection;
  QString d_last_error;
  std::map<QString, std::unique_ptr<QSqlQuery>> d_prepared_queries;
};

#endif // METROVA_DATABASE_H
