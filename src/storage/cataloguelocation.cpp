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
