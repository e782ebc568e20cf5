#include "rowinserter.h"

#include "sqlconnection.h"

#include <QStringList>

#include <algorithm>

TRowInserter::TRowInserter(TSqlConnection *connection, const QString &head, const QString &row,
                           int parameters)
    : d_connection(connection), d_head(head), d_row(row), d_parameters(parameters),
      d_batch(std::min(ROWS_PER_STATEMENT, MAXIMUM_PARAMETERS / std::max(1, parameters)))
{
}

bool TRowInserter::Add(const QVector<QVariant> &values)
{
  Q_ASSERT(values.size() == d_parameters);
  d_values += values;
  return d_values.size() < d_batch * d_parameters || Write();
}

bool TRowInserter::Finish()
{
  return d_values.isEmpty() || Write();
}

bool TRowInserter::Write()
{
  // A full batch's statement is prepared once and reused; so is that of the last, shorter one.
  const int rows = d_values.size() / d_parameters;
  QStringList row_texts;
  for (int row = 0; row < rows; ++row)
  {
    row_texts.append(d_row);
  }
  QSqlQuery *query = d_connection->Prepared_Query(d_head + row_texts.join(QLatin1Char(',')));
  for (int index = 0; query && index < d_values.size(); ++index)
  {
    query->bindValue(index, d_values.at(index));
  }
  d_values.clear();
  return d_connection->Execute(query);
}
