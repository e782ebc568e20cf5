#ifndef METROVA_IMPORTEXPORTTHREAD_H
#define METROVA_IMPORTEXPORTTHREAD_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QThread>

class TDatabase;

// Writes the manufacturer's part of the catalogue to an exchange file, or reads such a file into
// the catalogue and estimates the other standards, away from the GUI thread. A run works on its
// own connection to the file of the database it was given: SQLite connections must not be shared
// between threads.
class TImportExportThread : public QThread
{
  Q_OBJECT

public:
  static constexpr int MODE_EXPORT = 0;
  static constexpr int MODE_IMPORT = 1;

  // Problems beyond this many are only counted in the warning text.
  static constexpr int MAXIMUM_WARNING_LINES = 200;

  explicit TImportExportThread(QObject *parent = nullptr);
  ~TImportExportThread() override;

  // Called only while the thread is not running.
  void Set_Database(TDatabase *database) { d_database = database; }
  void Set_Mode(int mode) { d_mode = mode; }
  void Set_File_Name(const QString &file_name) { d_file_name = file_name; }
  void Set_Export_Makes(const QStringList &makes) { d_export_makes = makes; }

  // Read after finished().
  int Mode() const { return d_mode; }
  bool Has_Error() const { return d_error; }
  QString Error_Text() const { return d_error_text; }
  bool Has_Warnings() const { return d_warning_count > 0; }
  QString Warning_Text() const;

signals:
  void Update_Progress(int value, int maximum);
  void Update_Progress_Text(const QString &text);

protected:
  void run() override;

private:
  void Export_Database();
  void Import_Database();

  void Fail(const QString &text);
  void Add_Warning(int line_number, const QString &text);
  static QString Decode(const QByteArray &bytes);
  // The mask of kinds a component accepts, 0 when the standard or component is unknown.
  int Expression_Types(const QString &standard, const QString &component);

  TDatabase *d_database;
  int d_mode;
  QString d_file_name;
  QStringList d_export_makes;
  bool d_error;
  QString d_error_text;

  QString d_connection_name;
  // The connection of the current run; null outside run().
  TDatabase *d_run_database;
  QStringList d_warnings;
  int d_warning_count;
  QHash<QString, int> d_expression_types;
};

#endif // METROVA_IMPORTEXPORTTHREAD_H
