#ifndef METROVA_CONNECTSERVERDIALOG_H
#define METROVA_CONNECTSERVERDIALOG_H

#include "windowsettings.h"

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QSpinBox;

// Asks where a catalogue on a PostgreSQL server is: host, port, database, user and whether TLS
// is preferred or required. It only collects them; the window opens the catalogue. The password
// is asked apart, only when the server wants one, and is never kept.
class TConnectServerDialog : public QDialog
{
  Q_OBJECT

public:
  explicit TConnectServerDialog(QWidget *parent = nullptr);

  void Set_Server(const TWindowSettings::TServer &server);
  // The fields as typed, without surrounding blanks.
  TWindowSettings::TServer Server() const;

  // Offers *server and puts the answer there; false when the user cancelled.
  static bool Ask(QWidget *parent, TWindowSettings::TServer *server);
  // Asks for the password of the server shown (never a password); false when cancelled.
  static bool Ask_Password(QWidget *parent, const QString &shown, QString *password);

  // Test seam: while answers are queued, Ask takes the next server (as if typed into the fields
  // and confirmed; cancelled when accepted is false) and records the server offered, and
  // Ask_Password takes the next password (a null text answers like Cancel) and records what it
  // showed.
  static void Queue_Server(const TWindowSettings::TServer &server, bool accepted = true);
  static void Queue_Password(const QString &password);
  static int Queued_Answer_Count();
  static QList<TWindowSettings::TServer> Take_Offered_Servers();
  static QStringList Take_Password_Requests();
  static void Reset_Test_Answers();

private:
  void Update_Ok();

  QLineEdit *d_host;
  QSpinBox *d_port;
  QLineEdit *d_database;
  QLineEdit *d_user;
  QComboBox *d_sslmode;
  QDialogButtonBox *d_buttons;
};

#endif // METROVA_CONNECTSERVERDIALOG_H
