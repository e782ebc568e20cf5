#ifndef METROVA_WINDOWSETTINGS_H
#define METROVA_WINDOWSETTINGS_H

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QSettings;

// What the main window keeps between runs: its position and size and the folder its file
// dialogs offer first, in "metrova_settings.ini" in the folder ".metrova" beside the executable.
class TWindowSettings
{
public:
  static const QPoint DEFAULT_POSITION;
  static const QSize DEFAULT_SIZE;

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

  // Writes the window's place and the remembered folder to the file.
  void Save(const QPoint &position, const QSize &size);

  // Test seam: the folder taken as the executable's folder; empty restores the real one.
  static void Set_Application_Directory(const QString &path);

private:
  QString d_application_path;
  QString d_settings_path;
  QString d_current_path;
  std::unique_ptr<QSettings> d_settings;
};

#endif // METROVA_WINDOWSETTINGS_H
