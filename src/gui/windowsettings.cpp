#include "windowsettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace
{
const QString SETTINGS_FOLDER = QStringLiteral(".metrova");
const QString SETTINGS_FILE = QStringLiteral("metrova_settings.ini");
const QString KEY_POSITION = QStringLiteral("Mainwindow_Position");
const QString KEY_SIZE = QStringLiteral("Mainwindow_Size");
const QString KEY_CURRENT_PATH = QStringLiteral("Current_Path");
const QString KEY_SERVER_HOST = QStringLiteral("Server/Host");
const QString KEY_SERVER_PORT = QStringLiteral("Server/Port");
const QString KEY_SERVER_DATABASE = QStringLiteral("Server/Database");
const QString KEY_SERVER_USER = QStringLiteral("Server/User");
const QString KEY_SERVER_SSLMODE = QStringLiteral("Server/Sslmode");
// The smallest overlap with the screen, in both directions, that keeps a saved place.
const int MINIMUM_VISIBLE = 501;

QString &Application_Directory_Override()
{
  static QString path;
  return path;
}

// QSettings saves through a lock file and a temporary file beside the settings file, so the
// folder itself must take new files, and an existing settings file must be writable.
bool Settings_Folder_Writable(const QString &folder)
{
  QTemporaryFile probe(folder + QStringLiteral("/.metrova_probe_XXXXXX"));
  if (!probe.open())
    return false;
  QFile settings(folder + QLatin1Char('/') + SETTINGS_FILE);
  return !settings.exists() || settings.open(QIODevice::ReadWrite);
}
} // namespace

const QPoint TWindowSettings::DEFAULT_POSITION(30, 30);
const QSize TWindowSettings::DEFAULT_SIZE(901, 601);

TWindowSettings::TWindowSettings()
{
  d_application_path = Application_Directory_Override().isEmpty()
                           ? QCoreApplication::applicationDirPath()
                           : Application_Directory_Override();

  // Beside the executable while that folder can be written; an installed copy in a folder the
  // user cannot write keeps its settings in the per-user configuration folder instead.
  QDir directory(d_application_path);
  if (!directory.exists(SETTINGS_FOLDER))
    directory.mkdir(SETTINGS_FOLDER);
  if (directory.cd(SETTINGS_FOLDER) && Settings_Folder_Writable(directory.absolutePath()))
  {
    d_settings_path = directory.absolutePath();
  }
  else
  {
    d_settings_path = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(d_settings_path);
  }
  d_settings = std::make_unique<QSettings>(d_settings_path + QLatin1Char('/') + SETTINGS_FILE,
                                           QSettings::IniFormat);

  d_current_path = d_settings->value(KEY_CURRENT_PATH, QDir::homePath()).toString();
  if (d_current_path.isEmpty() || !QFileInfo(d_current_path).isDir())
    d_current_path = d_application_path;

  d_server.host = d_settings->value(KEY_SERVER_HOST).toString();
  d_server.port = d_settings->value(KEY_SERVER_PORT, d_server.port).toInt();
  d_server.database = d_settings->value(KEY_SERVER_DATABASE).toString();
  d_server.user = d_settings->value(KEY_SERVER_USER).toString();
  d_server.sslmode = d_settings->value(KEY_SERVER_SSLMODE, d_server.sslmode).toString();
}

TWindowSettings::~TWindowSettings() = default;

void TWindowSettings::Set_Application_Directory(const QString &path)
{
  Application_Directory_Override() = path;
}

QString TWindowSettings::File_Name() const
{
  return d_settings->fileName();
}

QRect TWindowSettings::Window_Geometry(const QRect &available_area) const
{
  const QPoint position = d_settings->value(KEY_POSITION, DEFAULT_POSITION).toPoint();
  const QSize size = d_settings->value(KEY_SIZE, DEFAULT_SIZE).toSize();
  const QRect visible = QRect(position, size).intersected(available_area);

  if (visible.isValid() && visible.width() >= MINIMUM_VISIBLE &&
      visible.height() >= MINIMUM_VISIBLE)
    return visible;
  return QRect(DEFAULT_POSITION, DEFAULT_SIZE);
}

void TWindowSettings::Remember_Folder(const QString &file_name)
{
  const int separator = file_name.lastIndexOf(QLatin1Char('/'));
  d_current_path = separator < 0 ? file_name : file_name.left(separator);
}

void TWindowSettings::Save(const QPoint &position, const QSize &size)
{
  d_settings->setValue(KEY_POSITION, position);
  d_settings->setValue(KEY_SIZE, size);
  d_settings->setValue(KEY_CURRENT_PATH, d_current_path);
  d_settings->setValue(KEY_SERVER_HOST, d_server.host);
  d_settings->setValue(KEY_SERVER_PORT, d_server.port);
  d_settings->setValue(KEY_SERVER_DATABASE, d_server.database);
  d_settings->setValue(KEY_SERVER_USER, d_server.user);
  d_settings->setValue(KEY_SERVER_SSLMODE, d_server.sslmode);
  d_settings->sync();
}
