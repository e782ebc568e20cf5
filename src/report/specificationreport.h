#ifndef METROVA_SPECIFICATIONREPORT_H
#define METROVA_SPECIFICATIONREPORT_H

#include <QList>
#include <QString>
#include <QStringList>

class TDatabase;

// The PDF report of one machine's specifications: a title, the make, model and option, one
// table per standard and a legend. A command builds the rows, then writes them:
//
//   rows = TSpecificationReport::Build_Rows(database, make, model, option);
//   if (!TSpecificationReport::Write(file_name, make, model, option, rows, &error_text))
//     show error_text as the details of the failure message
//
// Write never leaves a partial file behind: the report goes to an unnamed file in the target's
// folder and replaces the target only once it is a complete PDF.
class TSpecificationReport
{
public:
  static constexpr int HEADING_ROW_SIZE = 1;
  static constexpr int SPECIFICATION_ROW_SIZE = 4;

  // Report rows in the standards' fixed order: a one-string list is a standard heading, a
  // four-string list is a row (component, expression in um, "MFG" or "EST", description).
  // Standards without items contribute nothing; records that cannot be read count as empty.
  static QList<QStringList> Build_Rows(TDatabase *database, const QString &make,
                                       const QString &model, const QString &option);

  // Draws the rows to file_name. On failure returns false, leaves an existing file_name as it
  // was, and sets *error_text (when given) to a text naming the file and the reason.
  static bool Write(const QString &file_name, const QString &make, const QString &model,
                    const QString &option, const QList<QStringList> &rows, QString *error_text);

  // The name with ".pdf" appended unless it already ends with it in any letter case, or names
  // something that exists.
  static QString Appended_Pdf_Suffix(const QString &name);

  // The standards in report order and the heading shown for each.
  static QStringList Standard_Names();
  static QString Standard_Heading(const QString &standard);
};

#endif // METROVA_SPECIFICATIONREPORT_H
