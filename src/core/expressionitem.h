#ifndef METROVA_EXPRESSIONITEM_H
#define METROVA_EXPRESSIONITEM_H

#include <QString>

// One accuracy expression (for example 1.5+3.3L/1000): a kind and up to five numbers, always
// held in millimetres whatever units the text was typed in.
class TExpressionItem
{
public:
  static constexpr int EXPRESSION_COMPONENT_SIZE = 5;

  // Kinds are single bits so that the kinds a component accepts fit in one integer mask.
  static constexpr int EXPRESSION_UNDEFINED = 0;
  static constexpr int EXPRESSION_CONSTANT = 1;
  static constexpr int EXPRESSION_FIXED_LENGTH = 2;
  static constexpr int EXPRESSION_LINEAR = 4;
  static constexpr int EXPRESSION_LINEAR_MAXIMUM = 8;
  static constexpr int EXPRESSION_FIXED_LENGTH_TEMPERATURE = 16;
  static constexpr int EXPRESSION_LINEAR_TEMPERATURE = 32;
  static constexpr int EXPRESSION_TEMPERATURE = 64;

  static constexpr int UNITS_MM = 0;
  static constexpr int UNITS_UM = 1;

  TExpressionItem();
  // Plain copies, inline and noexcept: items move by the thousand in the vectors of an estimate,
  // and a vector copies rather than moves what may throw.
  TExpressionItem(const TExpressionItem &other) = default;
  TExpressionItem &operator=(const TExpressionItem &other) = default;

  int Set_Expression(const QString &text, int units);
  // The same from text in single bytes, ASCII or Latin-1 or UTF-8 alike: no form holds a
  // character beyond ASCII.
  int Set_Expression(const char *text, int size, int units);
  QString Expression_Text(int units) const;
  // The text of a kind with the given components in millimetres, as an item of that kind holding
  // them writes it: for everything that builds a text from numbers.
  static QString Form_Text(int kind, const double components[], int units);
  int Expression_Type() const { return d_expression_type; }
  double Component(int index, int units) const;
  // The number forms of the texts, for everything that builds one: an error value and a Td
  // coefficient, given in millimetres and written in the units, and a divisor. A value keeps one
  // decimal more than the plain form (0.01 um) where it needs it.
  static QString Value_Text(double millimetres, int units);
  static QString Coefficient_Text(double millimetres, int units);
  static QString Divisor_Text(double divisor);
  // Whether the millimetre text, as the database and the exchange file keep it, reads back as
  // this kind: a value too large for the text form, or a temperature that rounds onto a bound,
  // does not.
  bool Is_Storable() const;

private:
  template <typename TCharacter>
  int Set_Expression(const TCharacter *text, int size, int units);

  int d_expression_type;
  double d_components[EXPRESSION_COMPONENT_SIZE];
};

#endif // METROVA_EXPRESSIONITEM_H
