#include "expressionitem.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace
{
constexpr double UNITS_SCALE = 1000.0;
constexpr double TEMPERATURE_MINIMUM = 10.0;
constexpr double TEMPERATURE_MAXIMUM = 40.0;

// The longest number and divisor a text form accepts.
constexpr int MAXIMUM_NUMBER_LENGTH = 9;
constexpr int MAXIMUM_DIVISOR_LENGTH = 5;
// No form is longer than this once its blanks are gone.
constexpr int MAXIMUM_FORM_LENGTH = 64;

// The written forms, most specific first: the first one that matches decides.
enum TForm
{
  FORM_LINEAR_TEMPERATURE,
  FORM_LINEAR_MAXIMUM,
  FORM_UNIT_LINEAR_MAXIMUM,
  FORM_FIXED_LENGTH_TEMPERATURE,
  FORM_LINEAR,
  FORM_UNIT_LINEAR,
  FORM_FIXED_LENGTH,
  FORM_CELSIUS,
  FORM_FAHRENHEIT,
  FORM_CONSTANT,
  FORM_COUNT
};

// Each form as the whole text must spell it: '#' is a number of one to nine digits and points,
// '%' a divisor of one to five digits, 'c' one of "C,c" and 'f' one of "F,f"; every other
// character stands for itself.
const char *const FORM_SHAPES[FORM_COUNT] = {"#+#Td+(#+#Td)L/%",
                                             "#+#L/%|#",
                                             "#+L/%|#",
                                             "(#+#Td)/%",
                                             "#+#L/%",
                                             "#+L/%",
                                             "#/%",
                                             "#c",
                                             "#f",
                                             "#"};

const double POWERS_OF_TEN[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

bool Is_Digit(char character)
{
  return character >= '0' && character <= '9';
}

// A number as text: digits with at most one point among them, read with correct rounding (a
// whole number of at most nine digits divided by an exact power of ten is rounded once). False
// for a text without digits or with a second point.
bool Read_Number(const char *text, int length, double *number)
{
  quint32 digits = 0;
  int digit_count = 0;
  int point = -1;
  for (int index = 0; index < length; ++index)
  {
    if (text[index] == '.')
    {
      if (point >= 0)
      {
        return false;
      }
      point = index;
    }
    else
    {
      digits = digits * 10 + static_cast<quint32>(text[index] - '0');
      ++digit_count;
    }
  }
  if (digit_count == 0)
  {
    return false;
  }
  const int decimals = point < 0 ? 0 : length - 1 - point;
  *number = static_cast<double>(digits) / POWERS_OF_TEN[decimals];
  return true;
}

// Tries one form against the whole text. A number that does not read (1..5, a lone point) makes
// the form not match, so a mistyped value is never taken as zero.
bool Match_Form(int form, const char *text, int length, double numbers[])
{
  int position = 0;
  int count = 0;
  for (const char *shape = FORM_SHAPES[form]; *shape; ++shape)
  {
    if (*shape == '#' || *shape == '%')
    {
      // A number runs as far as its characters do: no form has one right after another.
      const bool divisor = *shape == '%';
      const int start = position;
      while (position < length && (Is_Digit(text[position]) || (!divisor && text[position] == '.')))
      {
        ++position;
      }
      const int run = position - start;
      if (run == 0 || run > (divisor ? MAXIMUM_DIVISOR_LENGTH : MAXIMUM_NUMBER_LENGTH) ||
          !Read_Number(text + start, run, &numbers[count++]))
      {
        return false;
      }
      continue;
    }
    if (position >= length)
    {
      return false;
    }
    const char character = text[position++];
    const bool matches = *shape == 'c' ? (character == 'C' || character == ',' || character == 'c')
                         : *shape == 'f'
                             ? (character == 'F' || character == ',' || character == 'f')
                             : character == *shape;
    if (!matches)
    {
      return false;
    }
  }
  return position == length;
}

// The text with every run of digits and points as one '#': what the shapes are compared with
// before a form is tried.
int Signature(const char *text, int length, char *signature)
{
  int size = 0;
  for (int index = 0; index < length; ++index)
  {
    const bool number = Is_Digit(text[index]) || text[index] == '.';
    if (!number)
    {
      signature[size++] = text[index];
    }
    else if (size == 0 || signature[size - 1] != '#')
    {
      signature[size++] = '#';
    }
  }
  return size;
}

// Whether a form's shape can match a text of this signature: the form matches only then.
bool Shape_Fits(int form, const char *signature, int size)
{
  int index = 0;
  for (const char *shape = FORM_SHAPES[form]; *shape; ++shape, ++index)
  {
    if (index == size)
    {
      return false;
    }
    const char character = signature[index];
    const bool fits = *shape == '#' || *shape == '%' ? character == '#'
                      : *shape == 'c' ? (character == 'C' || character == ',' || character == 'c')
                      : *shape == 'f' ? (character == 'F' || character == ',' || character == 'f')
                                      : character == *shape;
    if (!fits)
    {
      return false;
    }
  }
  return index == size;
}

// The text without blanks and with every l as L, in single bytes: a character outside ASCII
// becomes one that no form holds. False when the text is too long for any form.
template <typename TCharacter>
bool Normalise(const TCharacter *text, int size, char *normalised, int *length)
{
  int kept = 0;
  for (int index = 0; index < size; ++index)
  {
    const unsigned int character = static_cast<unsigned int>(text[index]);
    if (character == ' ')
    {
      continue;
    }
    if (kept == MAXIMUM_FORM_LENGTH)
    {
      return false;
    }
    normalised[kept++] = character == 'l'   ? 'L'
                         : character < 0x80 ? static_cast<char>(character)
                                            : '\x01';
  }
  *length = kept;
  return true;
}

bool Accepted_Temperature(double celsius)
{
  return celsius > TEMPERATURE_MINIMUM && celsius < TEMPERATURE_MAXIMUM;
}

// Where each kind keeps the length its value or length term is stated for; -1 for none.
int Divisor_Index(int kind)
{
  switch (kind)
  {
  case TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE:
    return 4;
  case TExpressionItem::EXPRESSION_LINEAR_MAXIMUM:
  case TExpressionItem::EXPRESSION_LINEAR:
  case TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE:
    return 2;
  case TExpressionItem::EXPRESSION_FIXED_LENGTH:
    return 1;
  default:
    return -1;
  }
}

// Texts are put together in bytes: every character of a number is ASCII.
using TText = QVarLengthArray<char, 96>;

void Append(TText *text, const char *literal)
{
  text->append(literal, static_cast<int>(std::strlen(literal)));
}

void Append(TText *text, const QString &number)
{
  const QByteArray bytes = number.toLatin1();
  text->append(bytes.constData(), bytes.size());
}

// The largest value rounded here; larger ones, negative ones and those that are not numbers go
// to QString::number.
constexpr double MAXIMUM_EXACT_VALUE = 1e12;
constexpr int MAXIMUM_EXACT_DECIMALS = 6;

// value * 10^decimals rounded half up, as QString::number rounds: exactly, from the bits of the
// double. The value is m * 2^-shift with m below 2^53; m * 10^decimals (below 2^73) is held in
// two words.
bool Scaled(double value, int decimals, quint64 *scaled)
{
  if (!(value >= 0.0) || std::signbit(value) || value >= MAXIMUM_EXACT_VALUE ||
      decimals > MAXIMUM_EXACT_DECIMALS)
  {
    return false;
  }
  quint64 bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const int exponent = static_cast<int>((bits >> 52) & 0x7ff);
  quint64 mantissa = bits & ((quint64(1) << 52) - 1);
  if (exponent != 0)
  {
    mantissa |= quint64(1) << 52;
  }
  const int shift = 1075 - (exponent == 0 ? 1 : exponent);
  const quint64 power = static_cast<quint64>(POWERS_OF_TEN[decimals]);
  const quint64 low_part = (mantissa & 0xffffffffu) * power;
  const quint64 high_part = (mantissa >> 32) * power;
  const quint64 low = low_part + (high_part << 32);
  const quint64 high = (high_part >> 32) + (low < low_part ? 1 : 0);
  const auto bit = [low, high](int index) {
    return index >= 128 ? 0 : index >= 64 ? (high >> (index - 64)) & 1 : (low >> index) & 1;
  };
  if (shift <= 0)
  {
    // A whole number, below 10^18 after scaling.
    *scaled = low << -shift;
  }
  else if (shift >= 128)
  {
    *scaled = 0;
  }
  else
  {
    const quint64 whole =
        shift >= 64 ? high >> (shift - 64) : (low >> shift) | (high << (64 - shift));
    *scaled = whole + bit(shift - 1);
  }
  return true;
}

// The text of a scaled value with its decimals: "0.0015" for 15 with 4.
void Append_Scaled(TText *text, quint64 scaled, int decimals)
{
  char digits[24];
  int count = 0;
  do
  {
    digits[count++] = static_cast<char>('0' + scaled % 10);
    scaled /= 10;
  } while (scaled != 0 || count <= decimals);
  while (count > 0)
  {
    if (count == decimals)
    {
      text->append('.');
    }
    text->append(digits[--count]);
  }
}

int Scaled_Length(quint64 scaled, int decimals)
{
  int digits = 1;
  while (scaled >= 10)
  {
    scaled /= 10;
    ++digits;
  }
  return std::max(digits, decimals + 1) + (decimals > 0 ? 1 : 0);
}

// A value with the given number of decimals, or with one more where the value needs it and the
// number still fits: the shorter text stays wherever it holds the value.
void Append_Fixed(TText *text, double value, int precision)
{
  quint64 longer = 0;
  quint64 shorter = 0;
  if (!Scaled(value, precision + 1, &longer) || !Scaled(value, precision, &shorter))
  {
    const QString number = QString::number(value, 'f', precision + 1);
    Append(text, number.endsWith(QLatin1Char('0')) || number.size() > MAXIMUM_NUMBER_LENGTH
                     ? QString::number(value, 'f', precision)
                     : number);
    return;
  }
  if (longer % 10 == 0 || Scaled_Length(longer, precision + 1) > MAXIMUM_NUMBER_LENGTH)
  {
    Append_Scaled(text, shorter, precision);
  }
  else
  {
    Append_Scaled(text, longer, precision + 1);
  }
}

void Append_Divisor(TText *text, double divisor)
{
  // General notation, so that a whole divisor prints as 1000, never as 1000.0 or 1e+03.
  if (divisor >= 0.0 && !std::signbit(divisor) && divisor < 1e6 && divisor == std::floor(divisor))
  {
    Append_Scaled(text, static_cast<quint64>(divisor), 0);
  }
  else
  {
    Append(text, QString::number(divisor, 'g', 6));
  }
}

void Append_Value(TText *text, double millimetres, int units)
{
  if (units == TExpressionItem::UNITS_UM)
  {
    Append_Fixed(text, millimetres * UNITS_SCALE, 1);
  }
  else
  {
    Append_Fixed(text, millimetres, 4);
  }
}

void Append_Coefficient(TText *text, double millimetres, int units)
{
  if (units == TExpressionItem::UNITS_UM)
  {
    Append_Fixed(text, millimetres * UNITS_SCALE, 2);
  }
  else
  {
    Append_Fixed(text, millimetres, 5);
  }
}

QString Text_String(const TText &text)
{
  return QString::fromLatin1(text.constData(), text.size());
}
} // namespace

TExpressionItem::TExpressionItem() : d_expression_type(EXPRESSION_UNDEFINED)
{
  for (double &component : d_components)
  {
    component = 0.0;
  }
}

int TExpressionItem::Set_Expression(const QString &text, int units)
{
  return Set_Expression(reinterpret_cast<const char16_t *>(text.utf16()), text.size(), units);
}

int TExpressionItem::Set_Expression(const char *text, int size, int units)
{
  return Set_Expression(reinterpret_cast<const unsigned char *>(text), size, units);
}

template <typename TCharacter>
int TExpressionItem::Set_Expression(const TCharacter *text, int size, int units)
{
  char normalised[MAXIMUM_FORM_LENGTH];
  int length = 0;
  const bool fits = Normalise(text, size, normalised, &length);

  d_expression_type = EXPRESSION_UNDEFINED;
  double previous[EXPRESSION_COMPONENT_SIZE];
  std::copy(std::begin(d_components), std::end(d_components), std::begin(previous));

  char signature[MAXIMUM_FORM_LENGTH];
  const int signature_size = fits ? Signature(normalised, length, signature) : 0;
  int form = fits ? 0 : FORM_COUNT;
  double n[TExpressionItem::EXPRESSION_COMPONENT_SIZE] = {};
  while (form < FORM_COUNT &&
         !(Shape_Fits(form, signature, signature_size) && Match_Form(form, normalised, length, n)))
  {
    ++form;
  }

  switch (form)
  {
  case FORM_LINEAR_TEMPERATURE:
    d_expression_type = EXPRESSION_LINEAR_TEMPERATURE;
    for (int index = 0; index < 5; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_LINEAR_MAXIMUM:
    d_expression_type = EXPRESSION_LINEAR_MAXIMUM;
    for (int index = 0; index < 4; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_UNIT_LINEAR_MAXIMUM:
    d_expression_type = EXPRESSION_LINEAR_MAXIMUM;
    d_components[0] = n[0];
    d_components[1] = 1.0;
    d_components[2] = n[1];
    d_components[3] = n[2];
    break;
  case FORM_FIXED_LENGTH_TEMPERATURE:
    d_expression_type = EXPRESSION_FIXED_LENGTH_TEMPERATURE;
    for (int index = 0; index < 3; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_LINEAR:
    d_expression_type = EXPRESSION_LINEAR;
    for (int index = 0; index < 3; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_UNIT_LINEAR:
    d_expression_type = EXPRESSION_LINEAR;
    d_components[0] = n[0];
    d_components[1] = 1.0;
    d_components[2] = n[1];
    break;
  case FORM_FIXED_LENGTH:
    d_expression_type = EXPRESSION_FIXED_LENGTH;
    d_components[0] = n[0];
    d_components[1] = n[1];
    break;
  case FORM_CELSIUS:
  case FORM_FAHRENHEIT:
    // An out-of-range temperature is kept although the kind stays undefined.
    d_components[0] = (form == FORM_CELSIUS) ? n[0] : (n[0] - 32.0) * 5.0 / 9.0;
    if (Accepted_Temperature(d_components[0]))
    {
      d_expression_type = EXPRESSION_TEMPERATURE;
    }
    break;
  case FORM_CONSTANT:
    d_expression_type = EXPRESSION_CONSTANT;
    d_components[0] = n[0];
    break;
  default:
    break;
  }

  // A length divided by zero has no value at any length: the text is no expression at all.
  const int divisor = Divisor_Index(d_expression_type);
  if (divisor >= 0 && d_components[divisor] == 0.0)
  {
    // As for a text that matches no form, the earlier components stay.
    std::copy(std::begin(previous), std::end(previous), std::begin(d_components));
    d_expression_type = EXPRESSION_UNDEFINED;
  }

  if (units == UNITS_UM)
  {
    switch (d_expression_type)
    {
    case EXPRESSION_LINEAR_TEMPERATURE:
      d_components[3] /= UNITS_SCALE;
      d_components[2] /= UNITS_SCALE;
      d_components[1] /= UNITS_SCALE;
      d_components[0] /= UNITS_SCALE;
      break;
    case EXPRESSION_LINEAR_MAXIMUM:
      d_components[3] /= UNITS_SCALE;
      d_components[1] /= UNITS_SCALE;
      d_components[0] /= UNITS_SCALE;
      break;
    case EXPRESSION_LINEAR:
    case EXPRESSION_FIXED_LENGTH_TEMPERATURE:
      d_components[1] /= UNITS_SCALE;
      d_components[0] /= UNITS_SCALE;
      break;
    case EXPRESSION_FIXED_LENGTH:
    case EXPRESSION_CONSTANT:
      d_components[0] /= UNITS_SCALE;
      break;
    default:
      break;
    }
  }

  return d_expression_type;
}

QString TExpressionItem::Expression_Text(int units) const
{
  return Form_Text(d_expression_type, d_components, units);
}

QString TExpressionItem::Form_Text(int kind, const double components[], int units)
{
  if (units != UNITS_MM && units != UNITS_UM)
  {
    return QString();
  }

  TText text;
  const auto value = [&](int index) { Append_Value(&text, components[index], units); };
  const auto coefficient = [&](int index) { Append_Coefficient(&text, components[index], units); };
  const auto divisor = [&](int index) { Append_Divisor(&text, components[index]); };

  switch (kind)
  {
  case EXPRESSION_UNDEFINED:
    return units == UNITS_UM ? QStringLiteral("0.0") : QStringLiteral("0.0000");
  case EXPRESSION_CONSTANT:
    value(0);
    break;
  case EXPRESSION_FIXED_LENGTH:
    value(0);
    text.append('/');
    divisor(1);
    break;
  case EXPRESSION_LINEAR:
  case EXPRESSION_LINEAR_MAXIMUM:
    value(0);
    text.append('+');
    value(1);
    Append(&text, "L/");
    divisor(2);
    if (kind == EXPRESSION_LINEAR_MAXIMUM)
    {
      text.append('|');
      value(3);
    }
    break;
  case EXPRESSION_FIXED_LENGTH_TEMPERATURE:
    text.append('(');
    value(0);
    text.append('+');
    coefficient(1);
    Append(&text, "Td)/");
    divisor(2);
    break;
  case EXPRESSION_LINEAR_TEMPERATURE:
    value(0);
    text.append('+');
    coefficient(1);
    Append(&text, "Td+(");
    value(2);
    text.append('+');
    coefficient(3);
    Append(&text, "Td)L/");
    divisor(4);
    break;
  case EXPRESSION_TEMPERATURE:
  {
    // Whole hundredths of a degree, as ever: the range bounds are what matters here.
    quint64 hundredths = 0;
    if (Scaled(components[0], 2, &hundredths))
    {
      Append_Scaled(&text, hundredths, 2);
    }
    else
    {
      Append(&text, QString::number(components[0], 'f', 2));
    }
    Append(&text, " C");
    break;
  }
  default:
    return QString();
  }
  return Text_String(text);
}

QString TExpressionItem::Value_Text(double millimetres, int units)
{
  TText text;
  Append_Value(&text, millimetres, units);
  return Text_String(text);
}

QString TExpressionItem::Coefficient_Text(double millimetres, int units)
{
  TText text;
  Append_Coefficient(&text, millimetres, units);
  return Text_String(text);
}

QString TExpressionItem::Divisor_Text(double divisor)
{
  TText text;
  Append_Divisor(&text, divisor);
  return Text_String(text);
}

double TExpressionItem::Component(int index, int units) const
{
  Q_ASSERT(static_cast<unsigned int>(index) <
           static_cast<unsigned int>(TExpressionItem::EXPRESSION_COMPONENT_SIZE));

  if (units == UNITS_UM)
  {
    return d_components[index] * UNITS_SCALE;
  }
  return d_components[index];
}

bool TExpressionItem::Is_Storable() const
{
  if (d_expression_type == EXPRESSION_UNDEFINED)
  {
    return false;
  }
  TExpressionItem stored;
  return stored.Set_Expression(Expression_Text(UNITS_MM), UNITS_MM) == d_expression_type;
}
