#ifndef METROVA_CATALOGUELOCATION_H
#define METROVA_CATALOGUELOCATION_H

#include <QString>

// Where a catalogue lives, as the user gave it: the path of a catalogue file, or the URI of a
// database on a PostgreSQL server (postgresql://... or postgres://...). Every place that names a
// catalogue takes one, so that a server may stand wherever a file does.
class TCatalogueLocation
{
public:
  enum TKind
  {
    KIND_NONE = 0,
    KIND_FILE,
    KIND_SERVER
  };

  TCatalogueLocation() = default;
  // As typed: a text that begins with a PostgreSQL scheme names a server, any other text a file.
  // Not explicit: wherever a file name was taken, what the user typed is taken now.
  TCatalogueLocation(const QString &text);
  // The libpq URI of a database on a server, each part percent-encoded so that no character
  // typed changes what another part says. A host that begins with '/' is the folder of the
  // server's socket, which libpq takes only in the query; an empty host or user is libpq's
  // default, a port of 0 too.
  static TCatalogueLocation For_Server(const QString &host, int port, const QString &database,
                                       const QString &user, const QString &sslmode);

  TKind Kind() const { return d_kind; }
  bool Is_File() const { return d_kind == KIND_FILE; }
  bool Is_Server() const { return d_kind == KIND_SERVER; }
  // The text as given: a path, or the URI (which may hold a password: never show it).
  QString Text() const { return d_text; }
  // The path of a file, empty for a server.
  QString File_Name() const { return Is_File() ? d_text : QString(); }
  // How the user recognises the catalogue in a title or a message: a file's name, a server's
  // URI with only what names the server, the database and the user (never a password).
  QString Display_Name() const;
  // A server's password that the user typed (the window asks for it): kept in memory for the
  // connections to this location, never in the text, a setting or a message.
  void Set_Password(const QString &password) { d_password = password; }
  QString Password() const { return d_password; }

private:
  TKind d_kind = KIND_NONE;
  QString d_text;
  QString d_password;
};

#endif // METROVA_CATALOGUELOCATION_H
