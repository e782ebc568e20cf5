#include "filedialog.h"

#include <QQueue>

namespace
{
QQueue<QString> &Queued_File_Names()
{
  static QQueue<QString> names;
  return names;
}

QList<TFileDialog::TRequest> &Requests()
{
  static QList<TFileDialog::TRequest> requests;
  return requests;
}

bool Answer_From_Queue(bool save, const QString &caption, const QString &folder,
                       const QString &filter, QFileDialog::Options options, QString *file_name)
{
  if (Queued_File_Names().isEmpty())
    return false;
  Requests().append(TFileDialog::TRequest{save, caption, folder, filter, options});
  *file_name = Queued_File_Names().dequeue();
  return true;
}
} // namespace

QString TFileDialog::Get_Open_File_Name(QWidget *parent, const QString &caption,
                                        const QString &folder, const QString &filter)
{
  QString file_name;
  if (Answer_From_Queue(false, caption, folder, filter, {}, &file_name))
    return file_name;
  return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString TFileDialog::Get_Save_File_Name(QWidget *parent, const QString &caption,
                                        const QString &folder, const QString &filter,
                                        QFileDialog::Options options)
{
  QString file_name;
  if (Answer_From_Queue(true, caption, folder, filter, options, &file_name))
    return file_name;
  return QFileDialog::getSaveFileName(parent, caption, folder, filter, nullptr, options);
}

void TFileDialog::Queue_File_Name(const QString &file_name)
{
  Queued_File_Names().enqueue(file_name);
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
