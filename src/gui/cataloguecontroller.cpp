#include "cataloguecontroller.h"

#include "database.h"
#include "samplecatalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{
// The sample exchange file, built into the program so that it is there however it was installed.
const QString SAMPLE_EXCHANGE_FILE = QStringLiteral(":/examples/catalogue.csv");
const QString SAMPLE_CATALOGUE_FILE = QStringLiteral("sample_catalogue.db");
} // namespace

TCatalogueController::TCatalogueController(QObject *parent)
    : QObject(parent), d_database(std::make_unique<TDatabase>())
{
}

TCatalogueController::~TCatalogueController() = default;

bool TCatalogueController::Open(const TCatalogueLocation &location)
{
  d_failure = TFailure();
  if (d_database->Is_Open())
  {
    d_database->Close();
  }
  if (!d_database->Connect(location))
  {
    return Fail(QStringLiteral("Connect Error"),
                QStringLiteral("Error trying to connect to the database."));
  }
  if (!d_database->Initialize())
  {
    return Fail(QStringLiteral("Initialize Error"),
                QStringLiteral("Error trying to initialize the database."));
  }
  emit Catalogue_Changed();
  return true;
}

bool TCatalogueController::Clear()
{
  d_failure = TFailure();
  if (!d_database->Clear())
  {
    return Fail(QStringLiteral("Clear Error"), QStringLiteral("Cannot clear the database."));
  }
  emit Catalogue_Changed();
  return true;
}

// The user's own copy, made on the first call and opened as it is on every later one.
bool TCatalogueController::Open_Sample()
{
  const QString file_name = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                            QLatin1Char('/') + SAMPLE_CATALOGUE_FILE;
  QString reason;
  if (!TSampleCatalogue::Create(SAMPLE_EXCHANGE_FILE, file_name, &reason))
  {
    d_failure = {QStringLiteral("Sample Error"),
                 QStringLiteral("Cannot create the sample catalogue."), reason};
    return false;
  }
  return Open(file_name);
}

void TCatalogueController::Close()
{
  d_database->Close();
  emit Catalogue_Changed();
}

bool TCatalogueController::Is_Open() const
{
  return d_database->Is_Open();
}

bool TCatalogueController::Is_Read_Only() const
{
  return d_database->Is_Read_Only();
}

bool TCatalogueController::Needs_Password() const
{
  return d_database->Needs_Password();
}

QString TCatalogueController::Name() const
{
  return d_database->Is_Open() ? d_database->Location().Display_Name() : QString();
}

QString TCatalogueController::Location() const
{
  if (!d_database->Is_Open())
  {
    return QString();
  }
  const TCatalogueLocation &location = d_database->Location();
  return location.Is_File()
             ? QDir::toNativeSeparators(QFileInfo(location.File_Name()).absoluteFilePath())
             : location.Display_Name();
}

// A catalogue that failed to open, initialize or clear is closed, as at start: nothing may act
// on it. The sentence names the cause in plain words, with the database's reason as the details.
bool TCatalogueController::Fail(const QString &heading, const QString &text)
{
  const QString cause = d_database->Failure_Cause();
  d_failure = {heading, cause.isEmpty() ? text : text + QLatin1Char(' ') + cause,
               d_database->Last_Error()};
  Close();
  return false;
}
