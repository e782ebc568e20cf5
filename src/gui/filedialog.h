#ifndef METROVA_FILEDIALOG_H
#define METROVA_FILEDIALOG_H

#include <QFileDialog>
#include <QList>
#include <QString>

// The window's file questions, behind one seam so that tests can answer them.
class TFileDialog
{
public:
  struct TRequest
  {
    bool save = false;
    QString caption;
    QString folder;
    QString filter;
    QFileDialog::Options options;
  };

  // *selected_filter, when given, gets the filter the user chose the file under.
  static QString Get_Open_File_Name(QWidget *parent, const QString &caption, const QString &folder,
                                    const QString &filter, QString *selected_filter = nullptr);
  // With QFileDialog::DontConfirmOverwrite when the caller asks its own question about an
  // existing file. A name typed without an extension gets that of the filter chosen, as the
  // open dialogs show files by it.
  static QString Get_Save_File_Name(QWidget *parent, const QString &caption, const QString &folder,
                                    const QString &filter, QFileDialog::Options options = {},
                                    QString *selected_filter = nullptr);

  // Test seam: while file names are queued, the next question takes one (an empty name answers
  // like a cancelled dialog), chosen under selected_filter (the first filter when empty), and is
  // recorded instead of being shown.
  static void Queue_File_Name(const QString &file_name, const QString &selected_filter = {});
  static int Queued_File_Name_Count();
  static QList<TRequest> Take_Requests();
  static void Reset_Test_Answers();
};

#endif // METROVA_FILEDIALOG_H
