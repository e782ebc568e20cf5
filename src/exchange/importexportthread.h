#ifndef METROVA_IMPORTEXPORTTHREAD_H
#define METROVA_IMPORTEXPORTTHREAD_H

#include "catalogueexchange.h"
#include "exchangefile.h"

#include <QString>
#include <QStringList>
#include <QThread>

class TDatabase;

// Runs an export or import, in either exchange format, away from the GUI thread. A run works on its
// own connection to the file of the database it was given: SQLite connections must not be shared
// between threads.
class TImportExportThread : public QThread, private TExchangeProgress
{
  Q_OBJECT

public:
  static constexpr int MODE_EXPORT = 0;
  static constexpr int MODE_IMPORT = 1;

  // Problems beyond this many are only counted in the warning text.
  static constexpr int MAXIMUM_WARNING_LINES = TExchangeFile::MAXIMUM_WARNING_LINES;

  explicit TImportExportThread(QObject *parent = nullptr);
  ~TImportExportThread() override;

  // Called only while the thread is not running.
  void Set_Database(TDatabase *database) { d_database = database; }
  void Set_Mode(int mode) { d_mode = mode; }
  void Set_File_Name(const QString &file_name) { d_file_name = file_name; }
  void Set_Format(TCatalogueExchange::TFormat format) { d_format = format; }
  void Set_Export_Makes(const QStringList &makes) { d_export_makes = makes; }

  // Read after finished().
  int Mode() const { return d_mode; }
  bool Has_Error() const { return d_error; }
  QString Error_Text() const { return d_error_text; }
  bool Has_Warnings() const { return d_has_warnings; }
  QString Warning_Text() const { return d_warning_text; }

signals:
  void Update_Progress(int value, int maximum);
  void Update_Progress_Text(const QString &text);

protected:
  void run() override;

private:
  void Progress(int value, int maximum) override;
  void Progress_Text(const QString &text) override;
  void Fail(const QString &text);

  TDatabase *d_database;
  int d_mode;
  QString d_file_name;
  TCatalogueExchange::TFormat d_format = TCatalogueExchange::FORMAT_CSV;
  QStringList d_export_makes;
  bool d_error;
  QString d_error_text;

  QString d_connection_name;
  bool d_has_warnings;
  QString d_warning_text;
};

#endif // METROVA_IMPORTEXPORTTHREAD_H
