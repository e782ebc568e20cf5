#ifndef METROVA_SPECIFICATIONEDIT_H
#define METROVA_SPECIFICATIONEDIT_H

#include <QList>
#include <QString>

class TExpressionItem;

// One component line of the editor.
struct TEditorRow
{
  QString standard;
  QString component;
  QString expression; // last accepted text, in micrometres; empty when the row has none
  QString description;
  qint32 expression_types = 0; // mask of the expression kinds the component accepts
  qint32 valid = 1;            // 1 when the row's current cell text is acceptable
};

// The rules for editing the manufacturer's values of one make, model and option, shared by the
// editor dialog and the command-line tool so that both accept exactly the same (TSpecificationSave
// reads and stores the rows).
class TSpecificationEdit
{
public:
  // Whether a text typed in micrometres is an expression of a kind that the mask accepts and
  // that the database keeps as typed: its millimetre text reads back as the same kind. A limit of
  // zero (0, 0+0L/1000) is refused: it would rank as a perfect machine and fail every check.
  static bool Accepts(const QString &text, int expression_types);
  // Whether an expression permits no error at any length: every number of its value is zero.
  static bool Is_Zero_Limit(const TExpressionItem &expression);

  // Why a row refuses a text typed in micrometres, in a few words for the user: "use a decimal
  // point", "write a temperature as 18C", "the maximum after the | is missing", "this component
  // accepts: a constant, A+BL/N", ...
  // Empty when the row takes the text (Accepts of its Completed_Text). A correction is named
  // only when the corrected text passes that same check, and the accepted forms come from the
  // mask, so the hint never contradicts the check.
  static QString Rejection_Hint(const QString &text, int expression_types);

  // Why a text typed where one number belongs is no number, by the same corrections: "use a
  // decimal point" for "2,5". Empty when it is a number, or when no correction makes it one.
  static QString Number_Hint(const QString &text);

  // The forms of the kinds in a mask, as the user writes them: "a constant, A/N, A+BL/N".
  static QString Accepted_Forms(int expression_types);

  // The text a row keeps: a temperature typed without its unit is taken as Celsius.
  static QString Completed_Text(const QString &text, int expression_types);
};

#endif // METROVA_SPECIFICATIONEDIT_H
