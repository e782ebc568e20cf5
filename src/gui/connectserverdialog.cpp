#include "connectserverdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QPair>
#include <QPushButton>
#include <QQueue>
#include <QSpinBox>
#include <QVBoxLayout>

namespace
{
// libpq's sslmode values offered: TLS when the server has it, or TLS or no connection.
const char *const SSL_MODES[] = {"prefer", "require"};

QQueue<QPair<TWindowSettings::TServer, bool>> &Queued_Servers()
{
  static QQueue<QPair<TWindowSettings::TServer, bool>> servers;
  return servers;
}

QQueue<QString> &Queued_Passwords()
{
  static QQueue<QString> passwords;
  return passwords;
}

QList<TWindowSettings::TServer> &Offered_Servers()
{
  static QList<TWindowSettings::TServer> offered;
  return offered;
}

QStringList &Password_Requests()
{
  static QStringList requests;
  return requests;
}
} // namespace

TConnectServerDialog::TConnectServerDialog(QWidget *parent) : QDialog(parent)
{
  setWindowTitle(QStringLiteral("Connect to Server"));

  d_host = new QLineEdit(this);
  d_host->setObjectName(QStringLiteral("server_host"));
  d_host->setPlaceholderText(QStringLiteral("this computer"));
  d_host->setToolTip(QStringLiteral("A name or address, or the folder of the server's socket"));
  d_port = new QSpinBox(this);
  d_port->setObjectName(QStringLiteral("server_port"));
  d_port->setRange(1, 65535);
  d_database = new QLineEdit(this);
  d_database->setObjectName(QStringLiteral("server_database"));
  d_user = new QLineEdit(this);
  d_user->setObjectName(QStringLiteral("server_user"));
  d_user->setPlaceholderText(QStringLiteral("login name"));
  d_sslmode = new QComboBox(this);
  d_sslmode->setObjectName(QStringLiteral("server_sslmode"));
  for (const char *mode : SSL_MODES)
  {
    d_sslmode->addItem(QLatin1String(mode));
  }

  QFormLayout *form = new QFormLayout();
  form->addRow(QStringLiteral("Host:"), d_host);
  form->addRow(QStringLiteral("Port:"), d_port);
  form->addRow(QStringLiteral("Database:"), d_database);
  form->addRow(QStringLiteral("User:"), d_user);
  form->addRow(QStringLiteral("TLS:"), d_sslmode);

  d_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();
  layout->addWidget(d_buttons);
  setMinimumWidth(360);

  connect(d_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(d_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(d_database, &QLineEdit::textChanged, this, &TConnectServerDialog::Update_Ok);
  Set_Server(TWindowSettings::TServer());
}

void TConnectServerDialog::Set_Server(const TWindowSettings::TServer &server)
{
  d_host->setText(server.host);
  d_port->setValue(server.port);
  d_database->setText(server.database);
  d_user->setText(server.user);
  // A mode this dialog does not offer (a hand-edited setting) falls back to the first.
  d_sslmode->setCurrentIndex(qMax(0, d_sslmode->findText(server.sslmode)));
  Update_Ok();
}

TWindowSettings::TServer TConnectServerDialog::Server() const
{
  TWindowSettings::TServer server;
  server.host = d_host->text().trimmed();
  server.port = d_port->value();
  server.database = d_database->text().trimmed();
  server.user = d_user->text().trimmed();
  server.sslmode = d_sslmode->currentText();
  return server;
}

// Without a database the URI would name the user's own, which is rarely the team's catalogue.
void TConnectServerDialog::Update_Ok()
{
  d_buttons->button(QDialogButtonBox::Ok)->setEnabled(!d_database->text().trimmed().isEmpty());
}

bool TConnectServerDialog::Ask(QWidget *parent, TWindowSettings::TServer *server)
{
  TConnectServerDialog dialog(parent);
  dialog.Set_Server(*server);
  if (!Queued_Servers().isEmpty())
  {
    // The answer goes through the fields, as typed.
    Offered_Servers().append(dialog.Server());
    const QPair<TWindowSettings::TServer, bool> answer = Queued_Servers().dequeue();
    dialog.Set_Server(answer.first);
    if (!answer.second || !dialog.d_buttons->button(QDialogButtonBox::Ok)->isEnabled())
    {
      return false;
    }
    *server = dialog.Server();
    return true;
  }
  if (dialog.exec() != QDialog::Accepted)
  {
    return false;
  }
  *server = dialog.Server();
  return true;
}

bool TConnectServerDialog::Ask_Password(QWidget *parent, const QString &shown, QString *password)
{
  const QString label = QStringLiteral("The server asks for the password of %1:").arg(shown);
  if (!Queued_Passwords().isEmpty())
  {
    Password_Requests().append(label);
    *password = Queued_Passwords().dequeue();
    return !password->isNull();
  }
  bool accepted = false;
  *password = QInputDialog::getText(parent, QStringLiteral("Password"), label, QLineEdit::Password,
                                    QString(), &accepted);
  return accepted;
}

void TConnectServerDialog::Queue_Server(const TWindowSettings::TServer &server, bool accepted)
{
  Queued_Servers().enqueue(qMakePair(server, accepted));
}

void TConnectServerDialog::Queue_Password(const QString &password)
{
  Queued_Passwords().enqueue(password);
}

int TConnectServerDialog::Queued_Answer_Count()
{
  return Queued_Servers().size() + Queued_Passwords().size();
}

QList<TWindowSettings::TServer> TConnectServerDialog::Take_Offered_Servers()
{
  QList<TWindowSettings::TServer> offered;
  offered.swap(Offered_Servers());
  return offered;
}

QStringList TConnectServerDialog::Take_Password_Requests()
{
  QStringList requests;
  requests.swap(Password_Requests());
  return requests;
}

void TConnectServerDialog::Reset_Test_Answers()
{
  Queued_Servers().clear();
  Queued_Passwords().clear();
  Offered_Servers().clear();
  Password_Requests().clear();
}
