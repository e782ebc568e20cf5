#include "cataloguelocation.h"

#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

TCatalogueLocation::TCatalogueLocation(const QString &text) : d_text(text)
{
  if (text.isEmpty())
  {
    return;
  }
  const bool server = text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
                      text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
  d_kind = server ? KIND_SERVER : KIND_FILE;
}

QString TCatalogueLocation::Display_Name() const
{
  switch (d_kind)
  {
  case KIND_FILE:
    return QFileInfo(d_text).fileName();
  case KIND_SERVER:
  {
    // Of the query only what names the server, database and user: the others may carry a
    // password (password=, options=).
    const QUrl url(d_text);
    if (!url.isValid())
    {
      // Qt refuses hosts that libpq takes (a socket folder, percent-encoded): the text up to its
      // query, without a password.
      QString shown = d_text.section(QLatin1Char('?'), 0, 0);
      const int start = shown.indexOf(QLatin1String("://")) + 3;
      const int at = shown.lastIndexOf(QLatin1Char('@'));
      const int colon = shown.indexOf(QLatin1Char(':'), start);
      if (at > start && colon >= 0 && colon < at)
      {
        shown.remove(colon, at - colon);
      }
      return QUrl::fromPercentEncoding(shown.toUtf8());
    }
    const QUrlQuery query(url);
    QUrlQuery shown;
    for (const char *key : {"host", "hostaddr", "port", "dbname", "user", "service"})
    {
      const QString name = QLatin1String(key);
      if (query.hasQueryItem(name))
      {
        shown.addQueryItem(name, query.queryItemValue(name));
      }
    }
    QUrl display = url.adjusted(QUrl::RemovePassword | QUrl::RemoveQuery);
    display.setQuery(shown);
    return display.toDisplayString();
  }
  default:
    return QString();
  }
}
