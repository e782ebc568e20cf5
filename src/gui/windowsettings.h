#ifndef METROVA_WINDOWSETTINGS_H
#define METROVA_WINDOWSETTINGS_H

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QSettings;

// What the main window keeps between runs: its position and size, the folder its file dialogs
// offer first and the server last connected to (never its password), in "metrova_settings.ini" in
// the folder ".metrova" beside the executable.
class TWindowSettings
{
public:
  static const QPoint DEFAULT_POSITION;
  static const QSize DEFAULT_SIZE;

  // What File > Connect to Server asks for; a password is no part of it.
  struct TServer
  {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString sslmode = QStringLiteral("prefer");
  };

  // Finds or creates the settings folder and reads the remembered folder.
  TWindowSettings();
  ~TWindowSettings();

  QString File_Name() const;

  // The saved place of the window when at least 501 by 501 pixels of it lie on the screen's
  // available area, else the default place.
  QRect Window_Geometry(const QRect &available_area) const;

  // The folder offered first by every file dialog.
  QString Current_Path() const { return d_current_path; }
  // After a file dialog returned a name: its folder is offered next time.
  void Remember_Folder(const QString &file_name);

  // The server offered by Connect to Server, the defaults at first.
  TServer Server() const { return d_server; }
  void Remember_Server(const TServer &server) { d_server = server; }

  // Writes the window's place, the remembered folder and server to the file.
  void Save(const QPoint &position, const QSize &size);

  // Test seam: the folder taken as the executable's folder; empty restores the real one.
  static void Set_Application_Directory(const QString &path);

private:
  QString d_application_path;
  QString d_settings_path;
  QString d_current_path;
  TServer d_server;
  std::unique_ptr<QSettings> d_settings;
};

#endif // METROVA_WINDOWSETTINGS_H
