#ifndef METROVA_CATALOGUECONTROLLER_H
#define METROVA_CATALOGUECONTROLLER_H

#include <QObject>
#include <QString>

#include <memory>

class TCatalogueLocation;
class TDatabase;

// The catalogue the window works on, and the one place that opens, clears, closes and names it.
// It shows nothing: a failure leaves a heading, a sentence and the details for whoever shows
// them, and Catalogue_Changed() tells everything that shows the catalogue to show it anew.
class TCatalogueController : public QObject
{
  Q_OBJECT

public:
  struct TFailure
  {
    QString heading;
    QString text;
    QString details;
  };

  explicit TCatalogueController(QObject *parent = nullptr);
  ~TCatalogueController() override;

  // Opens the catalogue at a location (a file name, or a server's URI), closing the open one
  // first. False, with Last_Failure() set and no catalogue open, when it cannot be opened or
  // initialized.
  bool Open(const TCatalogueLocation &location);
  // Empties the open catalogue. False, with Last_Failure() set, when that fails: nothing was
  // changed, and the catalogue is closed, as after a failed Open.
  bool Clear();
  // Opens the user's copy of the sample catalogue, made from the one built into the program on
  // the first call. False, with Last_Failure() set, when the copy cannot be made (the open
  // catalogue stays open) or opened.
  bool Open_Sample();
  void Close();

  bool Is_Open() const;
  bool Is_Read_Only() const;
  // The open catalogue's short name ("catalogue.db") and where it is (the full path, as the
  // system writes it; a server's URI without its password); empty when none is open.
  QString Name() const;
  QString Location() const;
  // What the lists, dialogs and the worker read and write; never null, maybe not open.
  TDatabase *Database() const { return d_database.get(); }
  TFailure Last_Failure() const { return d_failure; }
  // Whether the last Open failed only for want of a server's password: open again with one.
  bool Needs_Password() const;

signals:
  // A catalogue was opened, cleared or closed: what was shown of the earlier one is stale.
  void Catalogue_Changed();

private:
  bool Fail(const QString &heading, const QString &text);

  std::unique_ptr<TDatabase> d_database;
  TFailure d_failure;
};

#endif // METROVA_CATALOGUECONTROLLER_H
