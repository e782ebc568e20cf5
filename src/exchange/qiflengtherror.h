#ifndef METROVA_QIFLENGTHERROR_H
#define METROVA_QIFLENGTHERROR_H

#include "expressionitem.h"

#include <QString>

// A machine's ISO 10360 length error E0 in the forms QIF gives it: a constant, a linear function
// of the measured length, or the lesser of the two; and its conversion from and to the expression
// that Metrova stores. Lengths are in millimetres, the rate in millimetres per millimetre.
class TQifLengthError
{
public:
  static constexpr int FORM_NONE = 0;
  static constexpr int FORM_CONSTANT = 1;
  static constexpr int FORM_LINEAR = 2;
  static constexpr int FORM_LESSER = 3;

  TQifLengthError() = default;
  // The values of a QIF document: the constant (FORM_CONSTANT, FORM_LESSER), the base error and
  // the rate (FORM_LINEAR, FORM_LESSER).
  TQifLengthError(int form, double max_error, double base_error, double error_rate);

  // The QIF form of a stored expression; FORM_NONE, with the reason, when QIF has none.
  static TQifLengthError From_Expression(const TExpressionItem &expression, QString *reason);
  // The expression to store; EXPRESSION_UNDEFINED, with the reason, when Metrova cannot hold it.
  TExpressionItem To_Expression(QString *reason) const;

  int Form() const { return d_form; }
  // The values as xs:decimal texts, exact for what the catalogue stores.
  QString Max_Error_Text() const { return Decimal_Text(d_max_error); }
  QString Base_Error_Text() const { return Decimal_Text(d_base_error); }
  QString Error_Rate_Text() const { return d_error_rate_text; }

  // The shortest plain decimal that reads back as the same double.
  static QString Decimal_Text(double value);

private:
  int d_form = FORM_NONE;
  double d_max_error = 0.0;
  double d_base_error = 0.0;
  double d_error_rate = 0.0;
  QString d_error_rate_text;
};

#endif // METROVA_QIFLENGTHERROR_H
