#include "filedialog.h"

#include <QFileInfo>
#include <QQueue>
#include <QRegularExpression>

namespace
{
// A queued answer: the file name and the filter it was chosen under.
QQueue<QPair<QString, QString>> &Queued_File_Names()
{
  static QQueue<QPair<QString, QString>> names;
  return names;
}

QList<TFileDialog::TRequest> &Requests()
{
  static QList<TFileDialog::TRequest> requests;
  return requests;
}

// The first extension a filter names: "db" of "Database File (*.db)".
QString Filter_Suffix(const QString &filter)
{
  static const QRegularExpression extension(QStringLiteral("\\*\\.(\\w+)"));
  return extension.match(filter).captured(1);
}

bool Answer_From_Queue(bool save, const QString &caption, const QString &folder,
                       const QString &filter, QFileDialog::Options options, QString *file_name,
                       QString *selected_filter)
{
  if (Queued_File_Names().isEmpty())
    return false;
  Requests().append(TFileDialog::TRequest{save, caption, folder, filter, options});
  const QPair<QString, QString> answer = Queued_File_Names().dequeue();
  *file_name = answer.first;
  if (selected_filter)
    *selected_filter =
        answer.second.isEmpty() ? filter.section(QStringLiteral(";;"), 0, 0) : answer.second;
  return true;
}
} // namespace

QString TFileDialog::Get_Open_File_Name(QWidget *parent, const QString &caption,
                                        const QString &folder, const QString &filter,
                                        QString *selected_filter)
{
  QString file_name;
  if (Answer_From_Queue(false, caption, folder, filter, {}, &file_name, selected_filter))
    return file_name;
  return QFileDialog::getOpenFileName(parent, caption, folder, filter, selected_filter);
}

QString TFileDialog::Get_Save_File_Name(QWidget *parent, const QString &caption,
                                        const QString &folder, const QString &filter,
                                        QFileDialog::Options options, QString *selected_filter)
{
  QString file_name;
  QString chosen_filter;
  if (!Answer_From_Queue(true, caption, folder, filter, options, &file_name, &chosen_filter))
  {
    // The dialog adds the extension itself, so that it asks about an existing file of the whole
    // name before replacing it.
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOptions(options);
    const auto follow_filter = [&dialog](const QString &chosen)
    { dialog.setDefaultSuffix(Filter_Suffix(chosen)); };
    follow_filter(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow_filter);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    {
      file_name = dialog.selectedFiles().first();
      chosen_filter = dialog.selectedNameFilter();
    }
  }
  if (selected_filter)
    *selected_filter = chosen_filter;
  if (file_name.isEmpty() || !QFileInfo(file_name).suffix().isEmpty())
    return file_name;
  const QString suffix = Filter_Suffix(chosen_filter);
  return suffix.isEmpty() ? file_name : file_name + QLatin1Char('.') + suffix;
}

void TFileDialog::Queue_File_Name(const QString &file_name, const QString &selected_filter)
{
  Queued_File_Names().enqueue(qMakePair(file_name, selected_filter));
}

int TFileDialog::Queued_File_Name_Count()
{
  return Queued_File_Names().size();
}

QList<TFileDialog::TRequest> TFileDialog::Take_Requests()
{
  QList<TRequest> requests;
  requests.swap(Requests());
  return requests;
}

void TFileDialog::Reset_Test_Answers()
{
  Queued_File_Names().clear();
  Requests().clear();
}
