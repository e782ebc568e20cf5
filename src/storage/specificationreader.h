#ifndef METROVA_SPECIFICATIONREADER_H
#define METROVA_SPECIFICATIONREADER_H

#include "capability.h"
#include "databaseitem.h"
#include "specificationestimation.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <vector>

class QSqlQuery;
class TConfigurationNames;
class TSqlConnection;
class TStandardCatalogue;

// Reads the specification rows of one configuration into records: each item named and described
// from the catalogue, its stored text parsed. The reads of TDatabase's Read_Specification,
// Read_Configuration and Read_Specification_By_Id and of the estimation.
class TSpecificationReader
{
public:
  TSpecificationReader(TSqlConnection *connection, TStandardCatalogue *catalogue,
                       TConfigurationNames *names);

  // Each false with the reason in Error(); Is_Fault() tells a failed read from an unknown name.
  bool Read_Specification(const QString &make, const QString &model, const QString &option,
                          const QString &standard, TDatabaseItem *record);
  bool Read_Configuration(const QString &make, const QString &model, const QString &option,
                          bool manufacturer_only, QList<TDatabaseItem> *records);
  bool Read_Specification_By_Id(int make_id, int model_id, int option_id, int standard_id,
                                TDatabaseItem *record);
  // Every configuration with rows of one component or the 10360 Ts_Min and Ts_Max rows, as
  // TDatabase::Component_Machines gives them.
  bool Read_Component_Machines(const QString &standard, const QString &component,
                               QList<TCapability::TMachine> *machines);
  // Every row of a configuration in storage order.
  bool Read_Rows(int make_id, int model_id, int option_id,
                 TSpecificationEstimation::TStoredRows *rows);
  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  // Appends the rows of a statement that reads standard_id, component_id, source and expression.
  bool Read_Stored_Rows(QSqlQuery *query, TSpecificationEstimation::TStoredRows *rows);
  // A stored text parsed as a fresh item would parse it. Catalogue texts repeat, and parsing is
  // a large part of reading rows, so each distinct text is parsed once and kept (a bounded
  // number of them): Parsed_Index gives its place in d_parsed_expressions, which stays valid
  // until Bound_Parsed_Expressions next starts the cache over.
  TExpressionItem Parsed_Expression(const QString &text);
  int Parsed_Index(const QByteArray &utf8);
  void Bound_Parsed_Expressions();
  template <typename TSource>
  bool Fail(const TSource &source);
  bool Fail(const QString &text, bool fault);

  TSqlConnection *d_connection;
  TStandardCatalogue *d_catalogue;
  TConfigurationNames *d_names;
  QString d_error;
  bool d_fault = false;
  QHash<QByteArray, int> d_parsed_indexes;
  std::vector<TExpressionItem> d_parsed_expressions;
};

#endif // METROVA_SPECIFICATIONREADER_H
