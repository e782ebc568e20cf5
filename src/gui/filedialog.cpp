#include "filedialog.h"

#include <QQueue>

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
  if (Answer_From_Queue(true, caption, folder, filter, options, &file_name, selected_filter))
    return file_name;
  return QFileDialog::getSaveFileName(parent, caption, folder, filter, selected_filter, options);
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
