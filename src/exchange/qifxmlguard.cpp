#include "qifxmlguard.h"

#include <QPair>
#include <QVector>

namespace
{
enum TState
{
  TEXT,
  COMMENT,
  CDATA,
  INSTRUCTION,
  DECLARATION,
  END_TAG,
  START_TAG
};

ushort Code(char unit)
{
  return static_cast<unsigned char>(unit);
}

ushort Code(QChar unit)
{
  return unit.unicode();
}

bool Is_Space(ushort code)
{
  return code == ' ' || code == '\t' || code == '\n' || code == '\r';
}

// Whether the ASCII text starts at the index.
template <typename Unit>
bool Starts(const Unit *units, int size, int index, const char *text)
{
  for (; *text; ++text, ++index)
  {
    if (index >= size || Code(units[index]) != static_cast<unsigned char>(*text))
    {
      return false;
    }
  }
  return true;
}

// One pass, each unit looked at a bounded number of times. The markup is taken as well-formed
// XML has it; anything else is left to the parser to refuse.
template <typename Unit>
QString Scan(const Unit *units, int size)
{
  TState state = TEXT;
  int line = 1;
  int tag_line = 1;
  int content_start = 0;
  ushort quote = 0;
  ushort last = 0;
  int attributes = 0;
  int declarations = 0;
  int in_force = 0;
  // The open elements that declare namespaces, by depth: at most the bound of them.
  int depth = 0;
  QVector<QPair<int, int>> declaring;
  for (int index = 0; index < size; ++index)
  {
    const ushort code = Code(units[index]);
    if (code == '\n')
    {
      ++line;
    }
    switch (state)
    {
    case TEXT:
      if (code != '<')
      {
        break;
      }
      tag_line = line;
      if (Starts(units, size, index, "<!--"))
      {
        state = COMMENT;
        content_start = index + 4;
      }
      else if (Starts(units, size, index, "<![CDATA["))
      {
        state = CDATA;
        content_start = index + 9;
      }
      else if (Starts(units, size, index, "<?"))
      {
        state = INSTRUCTION;
        content_start = index + 2;
      }
      else if (Starts(units, size, index, "<!"))
      {
        state = DECLARATION;
      }
      else if (Starts(units, size, index, "</"))
      {
        state = END_TAG;
      }
      else
      {
        state = START_TAG;
        quote = 0;
        last = 0;
        attributes = 0;
        declarations = 0;
      }
      break;
    case COMMENT:
    case CDATA:
    case INSTRUCTION:
    {
      const char *end = state == COMMENT ? "--" : state == CDATA ? "]]" : "?";
      const int length = state == INSTRUCTION ? 1 : 2;
      if (code == '>' && index - length >= content_start &&
          Starts(units, size, index - length, end))
      {
        state = TEXT;
      }
      break;
    }
    case DECLARATION:
      if (code == '>')
      {
        state = TEXT;
      }
      break;
    case END_TAG:
      if (code == '>')
      {
        state = TEXT;
        if (!declaring.isEmpty() && declaring.last().first == depth)
        {
          in_force -= declaring.takeLast().second;
        }
        --depth;
      }
      break;
    case START_TAG:
      if (quote != 0)
      {
        if (code == quote)
        {
          quote = 0;
        }
        break;
      }
      if (code == '"' || code == '\'')
      {
        quote = code;
      }
      else if (code == '=' && ++attributes > TQifXmlGuard::MAXIMUM_ATTRIBUTES)
      {
        return QStringLiteral("Imported QIF file has an element with more than %1 attributes "
                              "(line %2); QIF elements have a few.")
            .arg(TQifXmlGuard::MAXIMUM_ATTRIBUTES)
            .arg(tag_line);
      }
      else if (code == 'x' && Is_Space(last) && Starts(units, size, index, "xmlns") &&
               index + 5 < size &&
               (Code(units[index + 5]) == ':' || Code(units[index + 5]) == '=' ||
                Is_Space(Code(units[index + 5]))) &&
               in_force + ++declarations > TQifXmlGuard::MAXIMUM_NAMESPACES)
      {
        return QStringLiteral("Imported QIF file has more than %1 namespace declarations in force "
                              "(line %2); QIF documents declare a few.")
            .arg(TQifXmlGuard::MAXIMUM_NAMESPACES)
            .arg(tag_line);
      }
      else if (code == '>')
      {
        state = TEXT;
        if (last != '/')
        {
          ++depth;
          if (declarations > 0)
          {
            declaring.append({depth, declarations});
            in_force += declarations;
          }
        }
      }
      last = Is_Space(code) ? ' ' : code;
      break;
    }
  }
  return QString();
}
} // namespace

QString TQifXmlGuard::Problem(const QByteArray &bytes)
{
  return Scan(bytes.constData(), bytes.size());
}

QString TQifXmlGuard::Problem(const QString &text)
{
  return Scan(text.constData(), text.size());
}
