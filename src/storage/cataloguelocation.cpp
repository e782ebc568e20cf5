#include "cataloguelocation.h"

#include <QFileInfo>
#include <QStringList>
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

TCatalogueLocation TCatalogueLocation::For_Server(const QString &host, int port,
                                                  const QString &database, const QString &user,
                                                  const QString &sslmode)
{
  const auto encoded = [](const QString &part)
  { return QString::fromLatin1(QUrl::toPercentEncoding(part)); };
  const bool socket = host.startsWith(QLatin1Char('/'));
  QStringList query;
  QString authority;
  if (socket)
  {
    // All of a socket's address in the query, so that Qt reads the URI too when it is shown.
    // Its slashes as they are, as libpq's own examples write it.
    query << QStringLiteral("host=") + QString::fromLatin1(QUrl::toPercentEncoding(host, "/"));
    if (port > 0)
    {
      query << QStringLiteral("port=%1").arg(port);
    }
    if (!user.isEmpty())
    {
      query << QStringLiteral("user=") + encoded(user);
    }
  }
  else
  {
    if (!user.isEmpty())
    {
      authority = encoded(user) + QLatin1Char('@');
    }
    // libpq decodes the host: an IPv6 address needs no brackets then.
    authority += encoded(host);
    if (port > 0)
    {
      authority += QStringLiteral(":%1").arg(port);
    }
  }
  if (!sslmode.isEmpty())
  {
    query << QStringLiteral("sslmode=") + encoded(sslmode);
  }
  QString uri = QStringLiteral("postgresql://") + authority + QLatin1Char('/') + encoded(database);
  if (!query.isEmpty())
  {
    uri += QLatin1Char('?') + query.join(QLatin1Char('&'));
  }
  return TCatalogueLocation(uri);
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
