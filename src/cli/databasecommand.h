#ifndef METROVA_DATABASECOMMAND_H
#define METROVA_DATABASECOMMAND_H

#include "command.h"

#include <memory>

class TDatabase;
class TNewCatalogue;
class TTransaction;

// A command on the catalogue named by its first argument (or another: a copy's target), usually
// on one make, model and option named by the arguments after it: the catalogue is opened, and the
// machine found, here and only here.
class TDatabaseCommand : public TCommand
{
public:
  explicit TDatabaseCommand(const TDescription &description, int database_argument = 0);
  ~TDatabaseCommand() override;

protected:
  enum TMachineRule
  {
    MACHINE_EXISTS,
    // set: the names are cleaned, and a machine that is not stored yet is a new one.
    MACHINE_MAY_BE_NEW
  };

  // Opens the catalogue, which must exist and hold the catalogue's tables; then, with levels
  // above 0, takes that many names (make, model, option) from the arguments after it as the
  // editor cleans them, with a note when one changed, and checks that they exist.
  int Open(int levels = 0, TMachineRule rule = MACHINE_EXISTS);
  // Opens the catalogue to fill it (only imports do), creating the file when it does not exist,
  // and begins the write transaction in which its tables are created when missing and the
  // filling is stored: after a failure the file is as it was, and one created here is taken away
  // again (TNewCatalogue). End with End_Filling.
  int Open_Or_Create();
  // Commits the filling when done; otherwise, or when the commit fails (Last_Error() says why),
  // takes it back and closes the catalogue. Whether it was committed.
  bool End_Filling(bool done);
  // Checks that the first levels names that Open took exist, as Open does for MACHINE_EXISTS:
  // inside a write transaction, for a check that nobody can make untrue before the write.
  int Find_Machine(int levels);
  // Fails with the text of a name not found, or with the reason when the look-up itself failed:
  // a catalogue that cannot be read must not pass for one without the name.
  int Not_Found(const QString &text);

  // Opens another catalogue named by an argument (a copy's source) for reading, as Open opens
  // the command's own.
  int Open_Other(int index, std::unique_ptr<TDatabase> *database);

  TDatabase *Database() const { return d_database.get(); }
  // The catalogue as messages name it: a file as given, a server without its password.
  QString Database_Name() const { return Catalogue_Name(d_database_argument); }
  QString Catalogue_Name(int index) const;
  // The names that Open took.
  const QStringList &Machine() const { return d_machine; }

private:
  int Connect(bool create);
  // Connects *database to the catalogue of an argument; a catalogue to be read must be there.
  int Connect_To(int index, bool create, std::unique_ptr<TDatabase> *database,
                 const QString &connection_name);

  int d_database_argument;
  std::unique_ptr<TDatabase> d_database;
  std::unique_ptr<TNewCatalogue> d_new_catalogue;
  // The filling's write unit, while it is open.
  std::unique_ptr<TTransaction> d_filling;
  QStringList d_machine;
};

#endif // METROVA_DATABASECOMMAND_H
