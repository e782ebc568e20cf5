#include "cataloguelocation.h"

#include <QFileInfo>
#include <QUrl>

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
    return QUrl(d_text).toDisplayString(QUrl::RemovePassword | QUrl::RemoveQuery);
  default:
    return QString();
  }
}
